% Depth quality: the score against hand-computed values, the realistic
% synthetic scene, the shift range found on scenes of known range, the
% filter against its literal definition, the plain path's bits, the
% all-in-focus image, a plain region's depth, and the options' checks.
function test_lf_depth()
  h = lf_test_helpers();
  check_score(h);
  check_realistic_scene();
  check_range();
  check_filter_and_plain_path();
  check_all_in_focus(h);
  check_segments();
  check_options(h);
  check_unit_range();
  disp('test_lf_depth: all checks passed');
end

function check_score(h)
  gt = [0 1 2 3; 0.5 0.5 0.5 0.5];
  % Estimate, then BadPix(0.07), (0.03), (0.01) in % and MSE x 100, by hand.
  cases = {
    gt,                                      [0 0 0 0]
    gt + [0.08 0 0 0; 0 0 0 0],              [12.5 12.5 12.5 100 * 0.0064 / 8]
    gt + [0.05 -0.02 0 0; 0 0 0 0.005],      [0 12.5 25 100 * (0.0025 + 0.0004 + 0.000025) / 8]
    gt - 0.069,                              [0 100 100 100 * 0.069 ^ 2]
    gt + [NaN 0 0 0; 0 0 0 0],               [12.5 12.5 12.5 NaN]
  };
  for n = 1:rows(cases)
    s = lf_disparity_score(cases{n, 1}, gt);
    got = [s.badpix07 s.badpix03 s.badpix01 s.mse100];
    want = cases{n, 2};
    assert(all(abs(got - want) < 1e-9 | (isnan(got) & isnan(want))) && s.pixels == 8, ...
           'score case %d: got %s, want %s', n, mat2str(got), mat2str(want));
  end
  % A mask scores its pixels alone; untrue truths are not scored.
  d = gt + [0.08 0 0 0; 0 0 0.1 0];
  s = lf_disparity_score(d, gt, logical([1 1 0 0; 1 1 0 0]));
  assert(s.badpix07 == 25 && s.mask.badpix07 == 25 && s.mask.pixels == 4, 'mask scores');
  s = lf_disparity_score(d, [NaN 1 2 3; 0.5 0.5 0.5 0.5], 'Mask', true(2, 4));
  assert(s.pixels == 7 && abs(s.badpix07 - 100 / 7) < 1e-12 && s.mask.pixels == 7, 'NaN truth scored');
  % With the centre view: the depth edge between two halves, and a plain
  % region away from it; texture elsewhere.
  truth = [zeros(20, 10), ones(20, 10)];
  centre = 255 * mod(reshape(1:400, 20, 20), 2);
  centre(1:12, 1:6) = 100;
  err = zeros(20);
  err(:, 9:12) = 0.5;
  err(2, 2) = 0.05;
  s = lf_disparity_score(truth + err, truth, repmat(centre, [1 1 3]));
  assert(s.edges.pixels == 20 * 8 && s.edges.badpix07 == 50, 'edge region: %d pixels, %g %%', ...
         s.edges.pixels, s.edges.badpix07);
  % Plain: the 9 x 3 pixels whose whole window lies in the flat block.
  assert(s.plain.pixels == 27 && s.plain.badpix03 == 100 / 27 && s.plain.badpix07 == 0, 'plain region: %d pixels', ...
         s.plain.pixels);
  bad = {
    @() lf_disparity_score(zeros(2, 2, 2), zeros(2, 2, 2)), 'lf_disparity_score:badMap'
    @() lf_disparity_score(zeros(2), zeros(3)), 'lf_disparity_score:badTruth'
    @() lf_disparity_score(zeros(2), zeros(2), true(3)), 'lf_disparity_score:badMask'
    @() lf_disparity_score(zeros(2), zeros(2), zeros(2, 2, 2)), 'lf_disparity_score:badCentre'
    @() lf_disparity_score(zeros(2), zeros(2), 'Centre'), 'lf_disparity_score:badOption'
    @() lf_disparity_score(zeros(2), zeros(2), 'Weights', 1), 'lf_disparity_score:badOption'
    @() lf_synthetic_scene(8, 8, 3, 'real'), 'lf_synthetic_scene:badScene'
    @() lf_synthetic_scene(8, 8, 3, 'realistic', '', 'Seed', 1.5), 'lf_synthetic_scene:badSeed'
    @() lf_synthetic_scene(8, 8, 3, 'realistic', '', 'Seed', -1), 'lf_synthetic_scene:badSeed'
    @() lf_synthetic_scene(8, 8, 3, 'realistic', '', 'Seed'), 'lf_synthetic_scene:badOption'
    @() lf_synthetic_scene(8, 8, 3, 'realistic', '', 'Noise', 1), 'lf_synthetic_scene:badOption'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end

function check_realistic_scene()
  C = 5;
  [V, truth] = lf_synthetic_scene(40, 48, C, 'realistic');
  R = lf_synthetic_scene(40, 48, C, 'realistic', 'remapped');
  assert(isequal(lf_views_to_remapped(V), R), 'views and remapped layout differ');
  % Another seed: the same surfaces and truth, other textures and noise;
  % seed 0 is the scene itself.
  [R1, truth1] = lf_synthetic_scene(40, 48, C, 'realistic', 'remapped', 'Seed', 1);
  assert(isequal(truth1, truth), 'seeded truth differs');
  assert(isequal(lf_synthetic_scene(8, 9, 3, 'hard', '', 'Seed', 0), lf_synthetic_scene(8, 9, 3, 'hard')), 'seed 0 differs');
  assert(mean(R1(:) ~= R(:)) > 0.5, 'seed 1 changed only %g of the samples', mean(R1(:) ~= R(:)));
  assert(all(R(:) == round(R(:)) & R(:) >= 0 & R(:) <= 255), 'samples are not 8-bit');
  % A range of about -3 .. 3 with the far background at one end.
  assert(abs(min(truth(:)) + 2.72) < 1e-12 && max(truth(:)) > 2.5, 'range %g .. %g', min(truth(:)), max(truth(:)));
  assert(mean(truth(:) == min(truth(:))) > 0.2, 'the background covers %g of the frame', mean(truth(:) == min(truth(:))));
  % Vignetting: the corner views are darker than the centre view; a scene
  % of given surfaces has neither vignetting nor noise.
  corner = V(1, 1, :, :, :);
  middle = V(3, 3, :, :, :);
  assert(mean(corner(:)) < 0.95 * mean(middle(:)), 'corner views not darker');
  plane = struct('disparity', 0, 'slope', 0, 'shape', 'all', 'extent', [], 'colour', [0.5 0.5 0.5], 'seed', 3);
  clean = lf_synthetic_scene(30, 30, C, plane);
  assert(isequal(clean(1, 1, :, :, :), clean(3, 3, :, :, :)), 'a plain plane at 0 differs between views');
  % A curved surface's truth is its closed form at every centre pixel.
  s = struct('disparity', 0.4, 'slope', 0.01, 'curvature', -0.002, 'shape', 'all', 'extent', [], ...
             'colour', [0.5 0.5 0.5], 'seed', 3);
  [~, tc] = lf_synthetic_scene(10, 31, C, s);
  t = (0:30) - 15;
  assert(isequal(tc, repmat(0.4 + 0.01 * t - 0.002 * t .^ 2, 10, 1)), 'curved truth');
end

function s = surface(d, slope, shape, extent, seed)
  s = struct('disparity', d, 'slope', slope, 'shape', shape, 'extent', extent, ...
             'colour', [0.3 + 0.05 * mod(seed, 7), 0.6, 0.8 - 0.05 * mod(seed, 5)], 'seed', seed);
end

function check_range()
  % Scenes of known range: every surface of 2 % of the frame or more lies
  % inside the range found, which is at most a fifth wider than the true
  % span plus 0.6: the coarse estimates' spread at the ends, which rules
  % narrow spans (the shifts' step stays at least 0.05 there).
  C = 5;
  n = 128;
  % Bars in front of a faint, shaded background: the background, seen
  % past the bars by most views, has the least entropy at their pixels.
  bars = [surface(-1.2, 0, 'all', [], 9), surface(1.3, 0, 'stripes', [0.5 0.95 0.5 0.95 0.12 0.03], 10)];
  bars(1).contrast = 0.12;
  bars(1).waves = 6;
  bars(1).shading = [0.45 90 0.5];
  scenes = {
    'background at one end, half the frame', [surface(-2.6, 0, 'all', [], 1), surface(0.4, 0, 'rect', [0.5 1 0 1], 2)]
    'small near objects', [surface(-0.8, 0, 'all', [], 3), surface(2.3, 0, 'disk', [0.3 0.3 0.09], 4), ...
                           surface(1.6, 0, 'rect', [0.7 0.85 0.6 0.75], 5)]
    'a narrow band', [surface(0.55, 0.3 / n, 'all', [], 6)]
    'thin near bars, a few % of the frame', bars
    'far beyond the first pass', [surface(-14.2, 0, 'all', [], 7), surface(-13.1, 0, 'disk', [0.5 0.5 0.2], 8)]
  };
  for k = 1:rows(scenes)
    [R, truth] = lf_synthetic_scene(n, n, C, scenes{k, 2}, 'remapped');
    [d, ~, ~, ~, info] = lf_disparity_sweep(R, C, 'Filter', false, 'Smooth', false);
    lo = min(info.shifts);
    hi = max(info.shifts);
    % Whatever covers 2 % of the frame at either end reaches these.
    sorted = sort(truth(:));
    kept = sorted([floor(0.019 * numel(sorted)), ceil(0.981 * numel(sorted))]);
    span = max(truth(:)) - min(truth(:));
    assert(lo <= min(kept) && hi >= max(kept), '%s: range %g .. %g misses %g .. %g', scenes{k, 1}, lo, hi, ...
           min(kept), max(kept));
    assert(hi - lo <= 1.2 * span + 0.6, '%s: range %g .. %g too wide for %g .. %g', scenes{k, 1}, lo, hi, ...
           min(kept), max(kept));
    assert(numel(info.shifts) <= 41 && all(diff(info.shifts) >= 0.05 - 1e-12), '%s: %d shifts', scenes{k, 1}, ...
           numel(info.shifts));
    inner = abs(d(20:end - 20, 20:end - 20) - truth(20:end - 20, 20:end - 20));
    assert(median(inner(:)) < 0.05, '%s: median error %g', scenes{k, 1}, median(inner(:)));
    if any(k == [1 4])
      % The m-code's shrunk copy in place of the module (hidden behind an
      % m-file of its name): the same range.
      [d2, info2] = without_shrunk_module(R, C);
      assert(isequal(info2.shifts, info.shifts) && isequal(d2, d), '%s: range %.17g .. %.17g without the module', ...
             scenes{k, 1}, min(info2.shifts), max(info2.shifts));
    end
  end
  % A plain frame: nothing to find; the sweep still answers, with no
  % confidence anywhere.
  [d, conf, ~, ~, info] = lf_disparity_sweep(80 * ones(64 * C, 64 * C, 3), C);
  assert(all(conf(:) == 0) && all(isfinite(d(:))) && numel(info.shifts) >= 2, 'plain frame');
end

function [d, info] = without_shrunk_module(R, C)
  folder = tempname();
  mkdir(folder);
  f = fopen(fullfile(folder, 'lf_shrunk_entropy_sweep.m'), 'w');
  fprintf(f, 'function E = lf_shrunk_entropy_sweep(varargin)\n  error(''test:hidden'', ''hidden'');\nend\n');
  fclose(f);
  addpath(folder);
  try
    assert(exist('lf_shrunk_entropy_sweep') == 2, 'the module is not hidden'); %#ok<EXIST>
    [d, ~, ~, ~, info] = lf_disparity_sweep(R, C, 'Filter', false, 'Smooth', false);
  catch err
    rmpath(folder);
    confirm_recursive_rmdir(false, 'local');
    rmdir(folder, 's');
    rethrow(err);
  end
  rmpath(folder);
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end

function check_unit_range()
  % The warning for samples scaled to 0..1 looks at the centre view first:
  % a sample above 1 anywhere else must still silence it.
  C = 3;
  unit = rand(8 * C, 8 * C, 3);
  outer = unit;
  outer(1, 1, 2) = 200;  % angular sample (1, 1): not the centre view
  centre = unit;
  centre(2, 2, 1) = 2;
  cases = {unit, true; outer, false; centre, false; zeros(8 * C, 8 * C, 3), false};
  for n = 1:rows(cases)
    lastwarn('');
    lf_disparity_sweep(cases{n, 1}, C, [0 0.5], 'Filter', false);
    [~, id] = lastwarn();
    assert(strcmp(id, 'lf_disparity_sweep:unitRange') == cases{n, 2}, 'case %d: warning ''%s''', n, id);
  end
end

function Q = guided_literal(P, G, r, epsilon)
  % The guided filter as defined, window by window.
  [rows, cols, n] = size(P);
  Q = zeros(size(P));
  win = @(i, j) {max(i - r, 1):min(i + r, rows), max(j - r, 1):min(j + r, cols)};
  for s = 1:n
    a = zeros(rows, cols);
    b = zeros(rows, cols);
    for i = 1:rows
      for j = 1:cols
        w = win(i, j);
        g = G(w{:});
        p = P(w{1}, w{2}, s);
        mI = mean(g(:));
        mP = mean(p(:));
        a(i, j) = (mean(g(:) .* p(:)) - mI * mP) / (mean(g(:) .^ 2) - mI ^ 2 + epsilon);
        b(i, j) = mP - a(i, j) * mI;
      end
    end
    for i = 1:rows
      for j = 1:cols
        w = win(i, j);
        A = a(w{:});
        B = b(w{:});
        Q(i, j, s) = mean(A(:)) * G(i, j) + mean(B(:));
      end
    end
  end
end

function check_filter_and_plain_path()
  C = 5;
  surfaces = [surface(-0.7, 0, 'all', [], 11), surface(0.9, 0, 'disk', [0.5 0.5 0.25], 12)];
  [R, truth] = lf_synthetic_scene(21, 26, C, surfaces, 'remapped');
  shifts = linspace(-1.2, 1.3, 11);
  E = lf_entropy_sweep(R, C, shifts);
  grey = sum(R(3:C:end, 3:C:end, :), 3) / 3;
  % Filtered, unrefined, unsmoothed: the least of the literal filter's
  % volume wherever its least value stands clear of the next.
  for setting = {{2, 16}, {0, 1}, {3, 0.5}}
    [r, epsilon] = setting{1}{:};
    Q = guided_literal(E, grey, r, epsilon);
    [d, conf] = lf_disparity_sweep(R, C, shifts, 'Refine', false, 'Smooth', false, 'FilterRadius', r, ...
                                   'FilterEpsilon', epsilon);
    [want, want_conf] = lf_disparity_from_entropy(Q, shifts, false);
    sorted = sort(Q, 3);
    clear_min = sorted(:, :, 2) - sorted(:, :, 1) > 1e-9;
    assert(isequal(d(clear_min), want(clear_min)) && max(abs(conf(:) - want_conf(:))) < 1e-9, ...
           'radius %d, epsilon %g: the filtered estimate is not the literal filter''s', r, epsilon);
  end
  % The plain path: the first shift of least entropy in the sweep's volume,
  % with the given shifts and with those it finds itself.
  for given = {shifts, []}
    [d, ~, E, ~, info] = lf_disparity_sweep(R, C, given{1}, 'Filter', false, 'Smooth', false, 'Refine', false);
    [~, best] = min(lf_entropy_sweep(R, C, info.shifts), [], 3);
    assert(isequal(d, info.shifts(best)) && isequal(E, lf_entropy_sweep(R, C, info.shifts)), ...
           'the plain path is not the first least entropy');
  end
  % The defaults do better than the plain path on this scene, near the disk.
  plain = lf_disparity_score(d, truth);
  s = lf_disparity_score(lf_disparity_sweep(R, C), truth);
  assert(s.badpix07 <= plain.badpix07, 'defaults %g %% against %g %%', s.badpix07, plain.badpix07);
  % A single-column map keeps its shape (a row index of a column once broke it).
  for shape = {[5 1 7], [1 5 7]}
    e = rand(shape{1});
    [d, c] = lf_disparity_from_entropy(e, linspace(-1, 1, 7));
    [~, best] = min(e, [], 3);
    assert(isequal(size(d), shape{1}(1:2)) && isequal(size(c), shape{1}(1:2)) ...
           && all(abs(d(:) - reshape(linspace(-1, 1, 7)(best), [], 1)) <= 1 / 6 + 1e-12), 'map of size %s', ...
           mat2str(shape{1}));
  end
end

function check_all_in_focus(h)
  % Four constant images at unsorted shifts: each pixel's value is the
  % line between the two shifts around its disparity, clamped at the ends.
  shifts = [0.5 -1 1 0];
  images = repmat(reshape([50 10 90 30], 1, 1, 1, 4), [1 5 2 1]);
  images(:, :, 2, :) = images(:, :, 2, :) + 100;
  d = [-2 -1 -0.5 0.75 3];
  F = lf_all_in_focus(images, shifts, d);
  assert(isequal(F(:, :, 1), [10 10 20 70 90]) && isequal(F(:, :, 2), F(:, :, 1) + 100), 'all in focus: %s', ...
         mat2str(F(:)'));
  F = lf_all_in_focus(images, shifts, [NaN 0 0 0 0]);
  assert(isnan(F(1, 1, 1)) && F(1, 2, 1) == 30, 'NaN disparity');
  bad = {
    @() lf_all_in_focus(zeros(2, 2, 3, 2), [0 NaN], zeros(2)), 'lf_all_in_focus:badShifts'
    @() lf_all_in_focus(zeros(2, 2, 3, 2), [0 1 2], zeros(2)), 'lf_all_in_focus:badShifts'
    @() lf_all_in_focus(zeros(2, 2, 3, 2), [0 1], zeros(2, 3)), 'lf_all_in_focus:badDisparity'
    @() lf_all_in_focus({1}, 0, 0), 'lf_all_in_focus:badImages'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end

function check_segments()
  % A plain noisy square at 0.65 in front of texture at -1.2: each of its
  % inner pixels alone dips where the interpolation averages the noise
  % most, the square as a whole at its depth. A scene too small for any
  % region to count is left as the filter gave it.
  C = 5;
  shifts = -2:0.1:2;
  for seed = 0:1
    [R, truth, core] = plain_square(64, C, 0.65, -1.2, seed);
    bad = @(d) 100 * mean(abs(d(core) - 0.65) > 0.07);
    [d, conf, E] = lf_disparity_sweep(R, C, shifts);
    without = lf_disparity_sweep(R, C, shifts, 'Segments', false);
    grey = sum(R(3:C:end, 3:C:end, :), 3) / 3;
    assert(isequal(without, lf_cost_minimum(E, shifts, true, grey, 4, 16)), 'seed %d: ''Segments'', false', seed);
    assert(bad(d) == 0 && bad(without) > 10, 'seed %d: the plain square %g %% bad, %g %% without', seed, bad(d), ...
           bad(without));
    assert(isequal(lf_disparity_sweep(R, C, shifts, 'SegmentSize', 0.5), without), 'seed %d: no region that large', ...
           seed);
    unchanged = conf >= 0.1 | truth ~= 0.65;
    assert(isequal(d(unchanged), without(unchanged)), 'seed %d: a confident or textured pixel moved', seed);
    assert(isequal(lf_disparity_segments(without, conf, R(3:C:end, 3:C:end, :), E, shifts), d), ...
           'seed %d: the helper on the colour centre view', seed);
  end
end

function [R, truth, core] = plain_square(n, C, front, back, seed)
  % Views of a grey square (128 plus noise of deviation 2, 8-bit) at
  % disparity FRONT over smoothed random texture at BACK, sampled at the
  % nearest pixel; CORE is the square less 4 pixels at its rim.
  rand('seed', seed);
  randn('seed', seed);
  h = (C - 1) / 2;
  m = n + 2 * ceil(h * abs(back)) + 2;
  texture = conv2(rand(m) * 255, ones(3) / 9, 'same');
  [x, y] = meshgrid(1:n, 1:n);
  q = round(n / 4);
  V = zeros(C, C, n, n, 3);
  for v = 1:C
    for u = 1:C
      view = texture(sub2ind([m m], round(y + (m - n) / 2 + back * (v - h - 1)), ...
                             round(x + (m - n) / 2 + back * (u - h - 1))));
      fx = x + front * (u - h - 1);
      fy = y + front * (v - h - 1);
      view(fx >= q & fx <= n - q & fy >= q & fy <= n - q) = 128;
      V(v, u, :, :, :) = repmat(min(255, max(0, round(view + 2 * randn(n)))), [1 1 1 3]);
    end
  end
  R = lf_views_to_remapped(V);
  inside = x >= q & x <= n - q & y >= q & y <= n - q;
  truth = back * ones(n);
  truth(inside) = front;
  core = x >= q + 4 & x <= n - q - 4 & y >= q + 4 & y <= n - q - 4;
end

function check_options(h)
  R = lf_synthetic_scene(12, 12, 3, surface(0.3, 0, 'all', [], 13), 'remapped');
  % Names as strings (where the host has them) and in any case.
  want = lf_disparity_sweep(R, 3, -1:0.25:1, 'Smooth', false, 'FilterRadius', 1);
  got = lf_disparity_sweep(R, 3, -1:0.25:1, 'SMOOTH', 0, 'filterradius', 1);
  assert(isequal(got, want), 'option names are not case-blind');
  % MATLAB strings, through the test folder's stand-in where the host has none.
  here = fileparts(mfilename('fullpath'));
  addpath(fullfile(here, 'matlab_string'));
  unstring = onCleanup(@() rmpath(fullfile(here, 'matlab_string')));
  assert(isequal(lf_disparity_sweep(R, 3, -1:0.25:1, string('Smooth'), false, string('FilterRadius'), 1), want), ...
         'string option names');
  [d, conf] = lf_disparity_sweep(R, 3, -1:0.25:1);
  centre = R(2:3:end, 2:3:end, :);
  assert(isequal(lf_disparity_smooth(d, conf, centre, string('Radius'), 1), lf_disparity_smooth(d, conf, centre, 'Radius', 1)), ...
         'string option names of the smoothing');
  s = lf_disparity_score(d, d + 0.05, string('Mask'), true(size(d)));
  assert(s.mask.badpix03 == 100, 'string option names of the score');
  clear unstring;
  bad = {
    @() lf_disparity_sweep(R, 3, 0, 'Filter', [true true]), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'FilterRadius', 1.5), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'FilterRadius', -1), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'FilterEpsilon', 0), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'FilterEpsilon', Inf), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'SmoothRadius', 'two'), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'Segments', 'yes'), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'SegmentSize', 1.5), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'SegmentConfidence', -0.1), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'Guide', 1), 'lf_disparity_sweep:badOption'
    @() lf_disparity_segments(d, conf, centre, zeros(size(d, 1), size(d, 2), 7), -1:0.25:1), 'lf_disparity_segments:badSize'
    @() lf_disparity_segments(d, conf(1:end - 1, :), centre, zeros(size(d, 1), size(d, 2), 9), -1:0.25:1), 'lf_disparity_segments:badSize'
    @() lf_disparity_segments(d, conf, centre, zeros(size(d, 1), size(d, 2), 9), -1:0.25:1, 'Size', 2), 'lf_disparity_segments:badOption'
    @() lf_disparity_segments(d, conf, centre, zeros(size(d, 1), size(d, 2), 9), -1:0.25:1, 'Refine', 0.5), 'lf_disparity_segments:badOption'
    @() lf_disparity_segments(d, conf, centre, zeros(size(d, 1), size(d, 2), 9), -1:0.25:1, 'Radius'), 'lf_disparity_segments:badOption'
    @() lf_disparity_sweep(R, 3, 0, 7, 1), 'lf_disparity_sweep:badOption'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
  % Without the filter module the filter is refused, not imitated.
  folder = fileparts(which('lf_cost_minimum'));
  rmpath(folder);
  restore = onCleanup(@() addpath(folder));
  h.expect_error('lf_disparity_sweep:noModule', @() lf_disparity_sweep(R, 3, 0));
end
