% Depth quality: the score against hand-computed values, and the realistic
% synthetic scene (exact truth, one render whatever the layout, 8-bit
% samples).
function test_lf_depth()
  h = lf_test_helpers();
  check_score(h);
  check_realistic_scene();
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
