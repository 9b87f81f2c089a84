% The demo end to end at a small size: its progress, its table and closing
% line, its pictures, and estimates that find the scenes' surfaces.
function test_lf_demo(output)
  if exist(output, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(output, 's');
  end
  text = evalc('result = lightfield_depth_demo(''Size'', [72 80], ''Output'', output);');
  lines = strsplit(strtrim(text), "\n");
  last = lines{end};
  % One progress line per shift and scene, each with elapsed and left time,
  % and the range each sweep found.
  shifts = arrayfun(@(sc) numel(sc.shifts), result.scenes);
  assert(sum(~cellfun(@isempty, regexp(lines, '^\s+shift\s+\d+/\d+ .*\(\s*[\d.]+ s, about [\d.]+ s left\)$'))) == sum(shifts), ...
         'expected %d progress lines with times:\n%s', sum(shifts), text);
  assert(sum(~cellfun(@isempty, regexp(lines, '^\s+coarse pass: .* give \d+ shifts from'))) == 3, 'expected 3 range lines');
  % The table gives each scene's scores as the result holds them.
  rows_seen = regexp(text, '\| (textured|hard|realistic) \| (plain argmin|defaults) \| ([\d.]+) \| ([\d.]+) \| ([\d.]+) \| ([\d.]+) \|', 'tokens');
  assert(numel(rows_seen) == 6, 'expected 6 table rows:\n%s', text);
  for n = 1:6
    sc = result.scenes(ceil(n / 2));
    s = sc.scores(2 - mod(n, 2));
    printed = str2double(rows_seen{n}(3:6));
    assert(strcmp(rows_seen{n}{1}, sc.name) && all(abs(printed - [s.badpix07 s.badpix03 s.badpix01 s.mse100]) < [0.01 0.01 0.01 0.001]), ...
           'table row %d does not give the scores', n);
  end
  tokens = regexp(last, '^Defaults against the plain argmin: BadPix\(0\.07\) .*; pictures in (.+)$', 'tokens', 'once');
  assert(numel(tokens) == 1, 'unexpected closing line: %s', last);
  assert(strcmp(tokens{1}, result.output) && exist(result.output, 'dir') == 7, 'pictures not in %s', tokens{1});

  % Scene, true range, and rows, columns and truth range of spots the
  % estimate must find within 0.1 pixel: the slanted plane and the disk;
  % the fine-textured disk; the slanted floor and the fine pattern.
  spots = {
    1, [-1.7 1.6],    {30:40, 25:35, [-1.5 1]; 38:44, 54:60, [1.6 1.6]}
    2, [-1.37 1.23],  {51:58, 18:27, [0.66 0.66]}
    3, [-2.72 2.86],  {50:60, 8:30, [-2.5 0]; 48:64, 60:72, [-0.37 -0.37]}
  };
  for k = 1:rows(spots)
    sc = result.scenes(spots{k, 1});
    truth = sc.truth;
    assert(isequal(size(truth), [72 80]) && isequal(size(sc.estimate), [72 80]) && isequal(size(sc.confidence), [72 80]) ...
           && isequal(size(sc.focused), [72 80 3]), '%s: maps have the wrong size', sc.name);
    assert(all(abs([min(truth(:)) max(truth(:))] - spots{k, 2}) < 1e-12), '%s: unexpected true range', sc.name);
    assert(all(sc.confidence(:) >= 0 & sc.confidence(:) <= 1), '%s: confidence outside 0..1', sc.name);
    at = spots{k, 3};
    for n = 1:rows(at)
      t = truth(at{n, 1}, at{n, 2});
      e = sc.estimate(at{n, 1}, at{n, 2});
      assert(all(t(:) >= at{n, 3}(1) & t(:) <= at{n, 3}(2)), '%s: spot %d is not on its surface', sc.name, n);
      assert(mean(abs(e(:) - t(:)) <= 0.1) >= 0.9, '%s: spot %d: estimate off the truth near %g', sc.name, n, t(1));
    end
    % The defaults beat the plain argmin in BadPix(0.07) and (0.03) where
    % the plain argmin goes wrong; at this size the textured scene's few
    % errors sit on its borders, which the filter's window widens.
    s = sc.scores;
    assert(k == 1 || (s(2).badpix07 < s(1).badpix07 && s(2).badpix03 < s(1).badpix03), ...
           '%s: defaults do not beat the plain argmin', sc.name);
  end
  % At this size the textured scene gives about 1 % and 1; errors belong on the borders.
  s = result.scenes(1).scores(2);
  assert(s.badpix07 < 5 && s.mse100 < 10, 'BadPix(0.07) %g %%, MSE x 100 %g: far off what the scene allows', s.badpix07, s.mse100);

  names = {'refocused_near', 'refocused_middle', 'refocused_far', 'entropy_varnel', 'entropy_tressik_planes'};
  for prefix = {'', 'hard_', 'realistic_'}
    for base = {'centre_view', 'all_in_focus', 'disparity_truth', 'disparity_estimate', 'confidence', 'disparity_error'}
      names{end + 1} = [prefix{1} base{1}]; %#ok<AGROW>
    end
  end
  assert(numel(result.files) == numel(names), 'expected %d pictures, got %d', numel(names), numel(result.files));
  for n = 1:numel(names)
    file = result.files{n};
    [~, base, ext] = fileparts(file);
    assert(strcmp(ext, '.png') && strcmp(base, names{n}), 'unexpected picture %s', file);
    img = imread(file);
    assert(isa(img, 'uint8') && size(img, 3) == 3 && size(img, 1) >= 72 && size(img, 2) >= 80, ...
           '%s is not a colour picture of the image''s size', file);
    assert(numel(unique(img(:))) > 8, '%s is nearly blank', file);
  end
  disp('test_lf_demo: all checks passed');
end
