% build_modules builds every module with Octave's mex into a fresh folder
% that then serves alone: the modules give the literal results, their help
% and the helpers sit beside them.
function test_build_modules(source_root)
  h = lf_test_helpers();
  folder = tempname();
  cleanup = onCleanup(@() remove_folder(folder));
  % A compiler without C++17 stops the build at once, naming the versions that do.
  saved = getenv('CXX');
  setenv('CXX', '/bin/false');
  e = h.expect_error('build_modules:compilerTooOld', @() build_modules(fullfile(folder, 'old')));
  if isempty(saved)
    unsetenv('CXX');
  else
    setenv('CXX', saved);
  end
  assert(~isempty(strfind(e.message, 'GCC 7')), 'the message names no compiler version: %s', e.message);
  built_into = build_modules(folder);
  assert(strcmp(built_into, folder), 'build_modules returned %s', built_into);
  addpath(folder);

  modules = {'olmarin'};
  if exist(fullfile(source_root, 'entropy', 'varnel_mex.cpp'), 'file')
    modules = [modules, {'varnel', 'tressik'}];
  end
  if exist(fullfile(source_root, 'filter', 'lf_guided_filter_mex.cpp'), 'file')
    modules = [modules, {'lf_guided_filter'}];
  end
  for m = modules
    assert(strcmp(which(m{1}), fullfile(folder, [m{1} '.' mexext()])), '%s not taken from %s', m{1}, folder);
  end
  for f = {'lf_views_to_remapped.m', 'lf_remapped_to_views.m', 'lf_read_views.m', ...
           'lf_disparity_sweep.m', 'lf_synthetic_scene.m', 'lightfield_depth_demo.m'}
    assert(exist(fullfile(folder, f{1}), 'file') == 2, '%s not copied', f{1});
  end
  test_lf_help(modules);

  % Bits as the literal steps give them, so the flags kept every product and
  % sum apart.
  rand('seed', 3);
  rows = 13; cols = 11; C = 9; D = 4;
  S = round(rand(rows * C, cols * C, 3) * 2550) / 10;
  for alpha = [0.37 -1.3 2]
    T = zeros(size(S)) - 7;
    I = zeros(rows, cols, 3) - 7;
    [T_want, I_want] = refocus_literal(cols, rows, C, D, S, T + 0, I + 0, alpha);
    olmarin(cols, rows, C, D, S, T, I, alpha);
    h.same_bits(T, T_want, sprintf('destination of olmarin built by build_modules, alpha %g', alpha));
    h.same_bits(I, I_want, sprintf('image of olmarin built by build_modules, alpha %g', alpha));
  end
  if any(strcmp(modules, 'varnel'))
    % Plane 0: two samples of 10 and two of 20, the others all equal.
    S = zeros(2, 2, 3);
    S(:, :, 1) = [10 20; 20 10];
    S(:, :, 2) = 5;
    M = zeros(1, 1);
    varnel(1, 1, 2, 0, 0, S, M);
    assert(abs(M - log(2) / 3) < 1e-6, 'varnel built by build_modules gives %g', M);
    M0 = zeros(1, 1); M1 = zeros(1, 1); M2 = zeros(1, 1);
    tressik(1, 1, 2, 0, S, 0, M0, M1, M2);
    assert(abs(M0 - log(2)) < 1e-6 && M1 == 0 && M2 == 0, 'tressik built by build_modules gives %g %g %g', M0, M1, M2);
  end
  if any(strcmp(modules, 'lf_guided_filter'))
    % Radius 0 leaves the costs as they are; a constant cost stays constant.
    P = rand(9, 7, 3);
    h.same_bits(lf_guided_filter(P, rand(9, 7), 0, 0.5), P, 'lf_guided_filter built by build_modules, radius 0');
    Q = lf_guided_filter(ones(9, 7, 2), rand(9, 7) * 255, 2, 1);
    assert(max(abs(Q(:) - 1)) < 1e-12, 'lf_guided_filter built by build_modules moves a constant by %g', max(abs(Q(:) - 1)));
  end
  rmpath(folder);
  disp('test_build_modules: all checks passed');
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  if exist(folder, 'dir')
    rmdir(folder, 's');
  end
end
