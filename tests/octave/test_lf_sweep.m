% The disparity sweep on fronto-parallel textured planes of known disparity,
% its entropy volume and images against direct module calls, and its
% argument checks.
function test_lf_sweep()
  h = lf_test_helpers();
  check_recovers_planes();
  check_volume_and_images(h);
  check_rejections(h);
  disp('test_lf_sweep: all checks passed');
end

function [R, truth] = plane(d, rows, cols, C)
  s = struct('disparity', d, 'slope', 0, 'shape', 'all', 'extent', [], ...
             'colour', [0.8 0.6 0.4], 'seed', 9);
  [V, truth] = lf_synthetic_scene(rows, cols, C, s);
  R = lf_views_to_remapped(V);
end

function check_recovers_planes()
  C = 9;
  shifts = linspace(-2, 2, 41);
  step = shifts(2) - shifts(1);
  % Both signs, on and between the shift grid, near the range's ends.
  for d = [-1.73, -0.5, 0, 0.34, 1.27, 1.9]
    [R, truth] = plane(d, 36, 40, C);
    assert(all(truth(:) == d), 'the scene''s truth is not %g', d);
    estimate = lf_disparity_sweep(R, C, shifts);
    % Away from the border, where every view sees the plane's texture.
    border = ceil((C - 1) / 2 * abs(d)) + 1;
    inner = estimate(border + 1:end - border, border + 1:end - border);
    assert(all(abs(inner(:) - d) <= step + 1e-9), ...
           'disparity %g: %d of %d inner pixels off by more than one step (worst %g)', ...
           d, sum(abs(inner(:) - d) > step + 1e-9), numel(inner), max(abs(inner(:) - d)));
    [~, nearest] = min(abs(shifts - d));
    assert(median(inner(:)) == shifts(nearest), 'disparity %g: median estimate %g', d, median(inner(:)));
  end
end

function check_volume_and_images(h)
  C = 5; rows = 12; cols = 14;
  R = plane(0.6, rows, cols, C);
  shifts = [0.9, -0.4, 0.6, 0.1];
  [estimate, entropy, images] = lf_disparity_sweep(R, C, shifts);
  assert(isequal(size(entropy), [rows cols numel(shifts)]) && isequal(size(images), [rows cols 3 numel(shifts)]), ...
         'sweep outputs have the wrong size');
  for s = 1:numel(shifts)
    T = zeros(size(R));
    I = zeros(rows, cols, 3);
    M = zeros(rows, cols);
    olmarin(cols, rows, C, (C - 1) / 2, R, T, I, shifts(s));
    varnel(cols, rows, C, 0, 0, T, M);
    h.same_bits(entropy(:, :, s), M, sprintf('entropy map %d against varnel', s));
    h.same_bits(images(:, :, :, s), I, sprintf('image %d against olmarin', s));
  end
  [~, best] = min(entropy, [], 3);
  assert(isequal(estimate, shifts(best)), 'the estimate is not the shift of least entropy');
  % Ties go to the first shift: a plain grey field has zero entropy everywhere.
  flat = lf_disparity_sweep(100 * ones(rows * C, cols * C), C, shifts);
  assert(all(flat(:) == shifts(1)), 'a tie did not pick the first shift');
  % One plane serves as grey for all three.
  grey = R(:, :, 2);
  assert(isequal(lf_disparity_sweep(grey, C, shifts), lf_disparity_sweep(repmat(grey, [1 1 3]), C, shifts)), ...
         'a single-plane field differs from its three-plane copy');
  % The modules wrote into the sweep's own arrays, never into the caller's.
  R_before = h.snapshot(R);
  lf_disparity_sweep(R, C, shifts);
  assert(isequal(h.snapshot(R), R_before), 'the sweep changed its input');
end

function check_rejections(h)
  R = zeros(18, 18, 3);
  bad = {
    @() lf_disparity_sweep(R, 6, 0), 'lf_disparity_sweep:badSize'
    @() lf_disparity_sweep(R, 0, 0), 'lf_disparity_sweep:badSize'
    @() lf_disparity_sweep(zeros(18, 19, 3), 3, 0), 'lf_disparity_sweep:badRemapped'
    @() lf_disparity_sweep(zeros(18, 18, 2), 3, 0), 'lf_disparity_sweep:badRemapped'
    @() lf_disparity_sweep(R, 3, [0 NaN]), 'lf_disparity_sweep:badShifts'
    @() lf_disparity_sweep(R, 3, []), 'lf_disparity_sweep:badShifts'
    @() lf_disparity_sweep(R, 3, 0, 'Colour', 1), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R + 300, 3, 0), 'varnel:sampleOutOfRange'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end
