% Views to the remapped layout and back, element placement, and reading a
% folder of view images in row-major grid order.
function test_lf_layout()
  h = lf_test_helpers();
  check_round_trip(h);
  check_placement();
  check_read_views(h);
  check_rejections(h);
  disp('test_lf_layout: all checks passed');
end

function check_round_trip(h)
  rand('seed', 7);
  % C, rows, cols, planes
  cases = {
    9, 12, 17, 3
    5,  1,  1, 3
    1,  6,  4, 3
    3,  8,  2, 1
    4,  3,  5, 3
    2,  1,  7, 2
  };
  for n = 1:rows(cases)
    [C, r, c, k] = cases{n, :};
    V = rand(C, C, r, c, k) * 255;
    V(1) = -0;
    R = lf_views_to_remapped(V);
    assert(isequal(size(R, 1), r * C) && isequal(size(R, 2), c * C) && size(R, 3) == k, ...
           'case %d: remapped size %s', n, mat2str(size(R)));
    W = lf_remapped_to_views(R, C);
    h.same_bits(W, V, sprintf('case %d: views -> remapped -> views', n));
    h.same_bits(lf_views_to_remapped(W), R, sprintf('case %d: remapped -> views -> remapped', n));
  end
  % Integer views come back as doubles of the same values.
  V = uint8(randi([0 255], 3, 3, 4, 5, 3));
  R = lf_views_to_remapped(V);
  assert(isa(R, 'double') && isequal(lf_remapped_to_views(R, 3), double(V)), 'uint8 views changed');
end

function check_placement()
  % Every element names its own position, so any misplacement shows.
  C = 3; rows = 4; cols = 5;
  V = zeros(C, C, rows, cols, 3);
  for a = 1:C, for b = 1:C, for r = 1:rows, for c = 1:cols, for k = 1:3
    V(a, b, r, c, k) = a + 10 * b + 100 * r + 1000 * c + 10000 * k;
  end, end, end, end, end
  R = lf_views_to_remapped(V);
  for a = 1:C, for b = 1:C, for r = 1:rows, for c = 1:cols, for k = 1:3
    % Zero-based: pixel (r, c), angular sample (a, b) at (r*C + a, c*C + b).
    assert(R((r - 1) * C + a, (c - 1) * C + b, k) == V(a, b, r, c, k), ...
           'view (%d,%d) pixel (%d,%d) plane %d misplaced', a, b, r, c, k);
  end, end, end, end, end
end

function check_read_views(h)
  folder = tempname();
  mkdir(folder);
  cleanup = onCleanup(@() remove_folder(folder));
  C = 4; rows = 6; cols = 7;
  V = randi([0 255], C, C, rows, cols, 3);
  % Names without zero padding: view_10 must come after view_9.
  for i = 1:C * C
    a = floor((i - 1) / C) + 1;
    b = mod(i - 1, C) + 1;
    imwrite(uint8(squeeze(V(a, b, :, :, :))), fullfile(folder, sprintf('view_%d.png', i)));
  end
  W = lf_read_views(folder);
  assert(isequal(W, V), 'views read from the folder differ from the views written');
  assert(isequal(lf_read_views(folder, 'view_*.png'), V), 'reading with a pattern differs');

  % 16-bit grey images scale to 0..255.
  grey = fullfile(folder, 'grey');
  mkdir(grey);
  G = uint16(randi([0 65535], 3, 3, 5, 4));
  for i = 1:9
    imwrite(squeeze(G(floor((i - 1) / 3) + 1, mod(i - 1, 3) + 1, :, :)), fullfile(grey, sprintf('g%02d.png', i)));
  end
  W = lf_read_views(grey);
  assert(isequal(size(W), [3 3 5 4]) && max(abs(W(:) - double(G(:)) * 255 / 65535)) < 1e-9, ...
         '16-bit grey views not scaled to 0..255');

  % Five images make no square grid.
  delete(fullfile(folder, 'view_1*.png'));
  h.expect_error('lf_read_views:notSquare', @() lf_read_views(folder));
  h.expect_error('lf_read_views:noViews', @() lf_read_views(fullfile(folder, 'none')));
  check_broken_grids(h, folder);
end

function check_broken_grids(h, folder)
  % Files written, and what the error must name; each ends with a pattern
  % that reads only the views.
  img = uint8(zeros(2, 3, 3));
  cam = arrayfun(@(i) sprintf('cam%03d.png', i), 0:8, 'UniformOutput', false);
  cases = {
    cam([1:4 6:9]),                    {'missing index 4 (no cam004.png)', '''cam*.png'''}
    [cam([1:4 6:9]), {'depth.png'}],   {'missing index 4', 'not named like the others', '''depth.png''', '''cam*.png'''}
    [cam, {'depth.png'}],              {'not named like the others', '''depth.png'''}
    {'v_1_1.png', 'v_1_2.png', 'v_2_1.png'},  {'missing the view numbered (2, 2)', '''v_*_*.png'''}
    [cam, {'cam1.png'}],               {'index 1 appears more than once'}
    % Nothing to name: the message still runs to its end.
    {'a.png', 'b.png', 'c.png'},       {'grid of views. To read only the views', '''*.png'').'}
  };
  for n = 1:rows(cases)
    grid = fullfile(folder, sprintf('grid%d', n));
    mkdir(grid);
    for f = cases{n, 1}
      imwrite(img, fullfile(grid, f{1}));
    end
    e = h.expect_error('lf_read_views:notSquare', @() lf_read_views(grid));
    for want = cases{n, 2}
      assert(~isempty(strfind(e.message, want{1})), 'case %d: "%s" lacks "%s"', n, e.message, want{1});
    end
  end
  % The pattern it suggests reads the views; progress comes once per row.
  text = evalc('V = lf_read_views(fullfile(folder, ''grid3''), ''cam*.png'', ''Progress'', true);');
  assert(isequal(size(V), [3 3 2 3 3]), 'the suggested pattern did not read the grid');
  assert(numel(regexp(text, 'read view row \d/3 [^\n]*about [\d.]+ s left')) == 3, 'progress lines:\n%s', text);
end

function check_rejections(h)
  bad = {
    @() lf_views_to_remapped(zeros(3, 2, 4, 4, 3)), 'lf_views_to_remapped:badViews'
    @() lf_views_to_remapped({1}), 'lf_views_to_remapped:badViews'
    @() lf_views_to_remapped(zeros(3, 3, 4, 4, 3, 2)), 'lf_views_to_remapped:badViews'
    @() lf_remapped_to_views(zeros(10, 9, 3), 3), 'lf_remapped_to_views:badRemapped'
    @() lf_remapped_to_views(zeros(9, 9, 3), 2.5), 'lf_remapped_to_views:badSize'
    @() lf_remapped_to_views(zeros(9, 9, 3), 0), 'lf_remapped_to_views:badSize'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
