% The Octave package as a user meets it: installed into a prefix of its own
% (the user's packages untouched), loaded, every module and helper with its
% help, the modules' self-tests, a small depth estimate, then uninstalled
% without a trace.
function test_lf_package(folder, modules)
  tarball = dir(fullfile(folder, 'lightfield-*.tar.gz'));
  assert(numel(tarball) == 1, 'no single package tarball in %s', folder);
  tarball = fullfile(folder, tarball.name);
  work = tempname();
  mkdir(work);
  cleanup = onCleanup(@() remove_folder(work));
  prefix = fullfile(work, 'prefix');
  arch_prefix = fullfile(work, 'arch');
  list = fullfile(work, 'octave_packages');
  pkg('prefix', prefix, arch_prefix);
  pkg('local_list', list);
  pkg('global_list', fullfile(work, 'global_packages'));

  pkg('install', '-local', tarball);
  pkg('load', 'lightfield');
  installed = pkg('list');
  desc = installed{cellfun(@(p) strcmp(p.name, 'lightfield'), installed)};
  assert(strncmp(desc.dir, prefix, numel(prefix)), 'installed into %s, not into the prefix', desc.dir);

  for m = modules
    found = which(m{1});
    assert(strncmp(found, arch_prefix, numel(arch_prefix)) && strcmp(found(end - 3:end), '.mex'), ...
           '%s comes from %s, not the package''s module', m{1}, found);
    assert(strncmp(get_help_text(m{1}), upper(m{1}), numel(m{1})), '%s has no help', m{1});
    [passed, total] = test(m{1}, 'quiet');
    assert(total >= 2 && passed == total, '%s: %d of %d self-tests passed (a call and an error id are due)', ...
           m{1}, passed, total);
  end
  % Every function Contents.m lists is there with its help, and help
  % lightfield lists them.
  listing = evalc('help lightfield');
  for f = regexp(fileread(fullfile(desc.dir, 'Contents.m')), '(?m)^%\s+(\w+)\s+- ', 'tokens')
    assert(~isempty(which(f{1}{1})) && ~isempty(get_help_text(f{1}{1})), '%s missing or without help', f{1}{1});
    assert(~isempty(strfind(listing, f{1}{1})), 'help lightfield does not list %s', f{1}{1});
  end

  s = struct('disparity', -0.8, 'slope', 0, 'shape', 'all', 'extent', [], 'colour', [0.5 0.7 0.6], 'seed', 4);
  V = lf_synthetic_scene(24, 24, 5, s);
  d = lf_disparity_sweep(lf_views_to_remapped(V), 5, -1.5:0.1:1.5);
  inner = d(5:20, 5:20);
  assert(all(abs(inner(:) + 0.8) <= 0.1 + 1e-9), 'depth from the package is off');

  pkg('unload', 'lightfield');
  assert(~any(strncmp(strsplit(path(), pathsep), prefix, numel(prefix))), 'unload left the package on the path');
  pkg('uninstall', '-local', 'lightfield');
  assert(isempty(pkg('list')), 'lightfield still listed after uninstall');
  for d = {prefix, arch_prefix}
    left = dir(d{1});
    left = setdiff({left.name}, {'.', '..'});
    if ~isempty(left)
      error('uninstall left %s in %s', strjoin(left, ', '), d{1});
    end
  end
  disp('test_lf_package: all checks passed');
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
