% The install folder serves alone: modules, their help and the helpers, and a
% small sweep run from it.
function test_lf_install(folder, modules)
  addpath(folder);
  for m = modules
    assert(strcmp(which(m{1}), fullfile(folder, [m{1} '.' mexext()])), '%s not taken from %s', m{1}, folder);
  end
  test_lf_help(modules);
  for f = {'lf_synthetic_scene', 'lightfield_depth_demo', 'lf_read_views', 'lf_remapped_to_views', ...
           'lf_disparity_from_entropy', 'lf_disparity_smooth', 'lf_write_pfm', 'lf_read_pfm', 'lf_disparity_preview'}
    assert(strcmp(which(f{1}), fullfile(folder, [f{1} '.m'])), '%s not installed', f{1});
  end
  s = struct('disparity', -0.8, 'slope', 0, 'shape', 'all', 'extent', [], 'colour', [0.5 0.7 0.6], 'seed', 4);
  [V, truth] = lf_synthetic_scene(24, 24, 5, s);
  d = lf_disparity_sweep(lf_views_to_remapped(V), 5, -1.5:0.1:1.5);
  inner = d(5:20, 5:20);
  assert(all(abs(inner(:) + 0.8) <= 0.1 + 1e-9) && all(truth(:) == -0.8), 'sweep from the install folder is off');
  disp('test_lf_install: all checks passed');
end
