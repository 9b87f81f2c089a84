% The disparity sweep on fronto-parallel textured planes of known disparity,
% its entropy volume and images against direct module calls, the refinement
% and confidence on entropy curves of known shape, the default shift range,
% and its argument checks.
function test_lf_sweep()
  h = lf_test_helpers();
  check_recovers_planes();
  check_volume_and_images(h);
  check_refinement();
  check_confidence();
  check_default_range();
  check_smoothing();
  check_rejections(h);
  disp('test_lf_sweep: all checks passed');
end

function [R, truth] = plane(d, rows, cols, C)
  s = struct('disparity', d, 'slope', 0, 'shape', 'all', 'extent', [], ...
             'colour', [0.8 0.6 0.4], 'seed', 9);
  [R, truth] = lf_synthetic_scene(rows, cols, C, s, 'remapped');
end

function check_recovers_planes()
  C = 9;
  shifts = linspace(-2, 2, 41);
  step = shifts(2) - shifts(1);
  % Both signs, on and between the shift grid, near the range's ends.
  for d = [-1.73, -0.5, 0, 0.34, 1.27, 1.9]
    [R, truth] = plane(d, 36, 40, C);
    assert(all(truth(:) == d), 'the scene''s truth is not %g', d);
    [refined, ~, E] = lf_disparity_sweep(R, C, shifts, 'Filter', false, 'Smooth', false);
    plain = lf_disparity_sweep(R, C, shifts, 'Refine', false, 'Filter', false, 'Smooth', false);
    % Away from the border, where every view sees the plane's texture.
    border = ceil((C - 1) / 2 * abs(d)) + 1;
    inner = @(m) m(border + 1:end - border, border + 1:end - border);
    p = inner(plain);
    q = inner(refined);
    assert(all(abs(p(:) - d) <= step + 1e-9), 'disparity %g: plain estimate off by more than one step', d);
    [~, nearest] = min(abs(shifts - d));
    assert(median(p(:)) == shifts(nearest), 'disparity %g: median plain estimate %g', d, median(p(:)));
    % The refinement stays within half a step of the plain shift and lands
    % nearer the truth than the grid can.
    assert(all(abs(q(:) - p(:)) <= step / 2 + 1e-12), 'disparity %g: refinement left its step', d);
    assert(abs(median(q(:)) - d) < 0.02, 'disparity %g: median refined estimate %g', d, median(q(:)));
    assert(isequal(plain, lf_disparity_from_entropy(E, shifts, false)), 'disparity %g: plain differs from its volume', d);
  end
end

function check_volume_and_images(h)
  C = 5; rows = 12; cols = 14;
  R = plane(0.6, rows, cols, C);
  shifts = [0.9, -0.4, 0.6, 0.1];
  % With progress the sweep may run in parts; the bits must not change.
  text = evalc(['[estimate, confidence, entropy, images] = lf_disparity_sweep(R, C, shifts, ''Refine'', false, ' ...
                '''Filter'', false, ''Smooth'', false, ''Progress'', true);']);
  assert(numel(regexp(text, 'shift +\d/4 [^\n]*\(\s*[\d.]+ s, about [\d.]+ s left\)')) == 4, 'progress lines:\n%s', text);
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
  assert(isequal(estimate, shifts(best)), 'the plain estimate is not the shift of least entropy');
  assert(all(confidence(:) >= 0 & confidence(:) <= 1), 'confidence outside 0..1');
  % Ties go to the first shift: a plain grey field has zero entropy everywhere,
  % and no confidence.
  [flat, trust] = lf_disparity_sweep(100 * ones(rows * C, cols * C), C, shifts);
  assert(all(flat(:) == shifts(1)) && all(trust(:) == 0), 'a tie did not pick the first shift with confidence 0');
  % One plane serves as grey for all three.
  grey = R(:, :, 2);
  assert(isequal(lf_disparity_sweep(grey, C, shifts), lf_disparity_sweep(repmat(grey, [1 1 3]), C, shifts)), ...
         'a single-plane field differs from its three-plane copy');
  % The modules wrote into the sweep's own arrays, never into the caller's.
  R_before = h.snapshot(R);
  lf_disparity_sweep(R, C, shifts);
  assert(isequal(h.snapshot(R), R_before), 'the sweep changed its input');
end

function check_refinement()
  % Entropy curves over the shifts with a known vertex: a parabola gives it
  % exactly whatever the spacing and order of the shifts; a tie with one
  % neighbour goes half way; the range's ends, three equal values and
  % repeated shifts keep the shift.
  u = linspace(-1, 1, 21);
  cases = {
    % shifts                     curve (of the shifts s)                   want
    u,                           @(s) (s - 0.337) .^ 2 + 1,                0.337
    u,                           @(s) 3 * (s + 0.912) .^ 2,                -0.912
    u(end:-1:1),                 @(s) (s - 0.337) .^ 2 + 1,                0.337
    [-1 -0.2 0.05 0.4 1],        @(s) (s - 0.11) .^ 2,                     0.11
    u,                           @(s) (s + 1.3) .^ 2,                      -1
    u,                           @(s) (s - 1.4) .^ 2,                      1
    u,                           @(s) max(abs(s - 0.3) - 0.25, 0),         0.15
    [0.1 0 0.2 -1 1],            @(s) double(abs(s) > 0.5),                0.1
    [0 0.1 0.1 0.2],             @(s) abs(s - 0.1),                        0.1
  };
  for n = 1:rows(cases)
    [shifts, curve, want] = cases{n, :};
    E = repmat(reshape(curve(shifts), 1, 1, []), 2, 3);
    d = lf_disparity_from_entropy(E, shifts);
    assert(all(abs(d(:) - want) < 1e-12), 'case %d: refined %.15g, want %.15g', n, d(1), want);
  end
  % A V-shaped curve: the vertex lies between the minimum and the lower
  % neighbour, never beyond half a step.
  E = reshape(abs(u - 0.33), 1, 1, []);
  d = lf_disparity_from_entropy(E, u);
  assert(d > 0.3 && d <= 0.35 && abs(d - 0.33) < abs(0.3 - 0.33), 'V curve: refined %g', d);
end

function check_confidence()
  s = linspace(-1, 1, 21);
  dip = @(centre, depth, width) depth * exp(-(s - centre) .^ 2 / (2 * width ^ 2));
  % Curves and the order their confidences must take (1 highest).
  curves = {
    4 - dip(0.3, 3.5, 0.1)                          % deep and unique
    4 - dip(0.3, 1.0, 0.1)                          % shallow
    4 - dip(0.3, 3.5, 0.1) - dip(-0.6, 2.0, 0.1)    % deep with a rival
    4 - dip(0.3, 3.5, 0.1) - dip(-0.6, 3.5, 0.1)    % two equal dips
    4 * ones(1, 21)                                 % flat
    zeros(1, 21)                                    % plain region
  };
  E = zeros(1, numel(curves), 21);
  for n = 1:numel(curves)
    E(1, n, :) = reshape(curves{n}, 1, 1, []);
  end
  [~, c] = lf_disparity_from_entropy(E, s);
  assert(all(c >= 0 & c <= 1), 'confidence outside 0..1: %s', mat2str(c));
  assert(c(1) > 0.8 && c(1) > c(2) && c(1) > c(3) && c(3) > c(4), 'confidence order wrong: %s', mat2str(c, 3));
  assert(all(c(4:6) == 0), 'equal dips, flat and plain curves must have confidence 0: %s', mat2str(c, 3));
end

function check_default_range()
  % A plane beyond the usual -2 .. 2 and one inside it: the coarse pass
  % finds a range that holds each, and the sweep recovers it.
  C = 5;
  for d = [-0.83, 3.1]
    R = plane(d, 64, 64, C);
    text = evalc('[estimate, confidence] = lf_disparity_sweep(R, C, ''Progress'', true);');
    range = regexp(text, 'coarse pass: .* give (\d+) shifts from ([-+\d.]+) to ([-+\d.]+)', 'tokens', 'once');
    assert(numel(range) == 3, 'no coarse pass line:\n%s', text);
    [n, lo, hi] = deal(str2double(range{1}), str2double(range{2}), str2double(range{3}));
    assert(lo < d && hi > d && hi - lo < 3 && n <= 41, 'plane at %g: range %g .. %g in %d shifts', d, lo, hi, n);
    inner = estimate(12:end - 12, 12:end - 12);
    assert(abs(median(inner(:)) - d) < 0.03, 'plane at %g: median estimate %g', d, median(inner(:)));
    assert(isequal(estimate, lf_disparity_sweep(R, C, [])), 'an empty SHIFTS differs from none');
  end
end

function check_smoothing()
  % A one-pixel stripe in front, with its own colour, and a 4 x 4 block of
  % untrusted outliers: a plain median would erase the stripe and keep the
  % block; the weighted one restores everything exactly. A pixel with no
  % trusted neighbour keeps its value.
  guide = 40 * ones(12, 12, 3);
  guide(:, 8, :) = 200;
  truth = -0.5 * ones(12, 12);
  truth(:, 8) = 1.25;
  d = truth;
  conf = ones(12, 12);
  d(2:5, 2:5) = 3;
  conf(2:5, 2:5) = 0;
  assert(isequal(lf_disparity_smooth(d, conf, guide), truth), 'outliers kept or the stripe lost');
  lonely = lf_disparity_smooth(d, zeros(12, 12), guide);
  assert(isequal(lonely, d), 'pixels without trusted neighbours changed');
  % The sweep's option is the same function on its own estimate.
  [R, ~] = plane(0.4, 20, 22, 5);
  [d, conf] = lf_disparity_sweep(R, 5, -1:0.1:1);
  centre = R(3:5:end, 3:5:end, :);
  assert(isequal(lf_disparity_sweep(R, 5, -1:0.1:1, 'Smooth', true), lf_disparity_smooth(d, conf, centre)), ...
         'the Smooth option differs from lf_disparity_smooth');
end

function check_rejections(h)
  R = zeros(18, 18, 3);
  bad = {
    @() lf_disparity_sweep(R, 6, 0), 'lf_disparity_sweep:badSize'
    @() lf_disparity_sweep(R, 0, 0), 'lf_disparity_sweep:badSize'
    @() lf_disparity_sweep(zeros(18, 19, 3), 3, 0), 'lf_disparity_sweep:badRemapped'
    @() lf_disparity_sweep(zeros(18, 18, 2), 3, 0), 'lf_disparity_sweep:badRemapped'
    @() lf_disparity_sweep(R, 3, [0 NaN]), 'lf_disparity_sweep:badShifts'
    @() lf_disparity_sweep(R, 3, {1}), 'lf_disparity_sweep:badShifts'
    @() lf_disparity_sweep(R, 3, 0, 'Colour', 1), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'Refine', 'yes'), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R, 3, 0, 'Progress'), 'lf_disparity_sweep:badOption'
    @() lf_disparity_sweep(R + 300, 3, 0), 'lf_disparity_sweep:sampleOutOfRange'
    @() lf_disparity_sweep(R - 0.75, 3, 0), 'lf_disparity_sweep:sampleOutOfRange'
    @() lf_disparity_sweep(R + 300, 3), 'lf_disparity_sweep:sampleOutOfRange'
    @() lf_disparity_sweep(setfield(R, {7}, NaN), 3, 0), 'lf_disparity_sweep:sampleOutOfRange'
    @() lf_disparity_from_entropy(zeros(2, 2, 3), [0 1]), 'lf_disparity_from_entropy:badEntropy'
    @() lf_disparity_smooth(zeros(2, 3), zeros(3, 2), zeros(2, 3)), 'lf_disparity_smooth:badSize'
    @() lf_disparity_smooth(zeros(2), zeros(2), zeros(2), 'Radius', -1), 'lf_disparity_smooth:badOption'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end
