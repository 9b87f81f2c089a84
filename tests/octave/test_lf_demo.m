% The demo end to end at a small size: its closing line, its pictures, and
% an estimate that finds the scene's planes.
function test_lf_demo(output)
  if exist(output, 'dir')
    confirm_recursive_rmdir(false, 'local');
    rmdir(output, 's');
  end
  text = evalc('result = lightfield_depth_demo(''Size'', [72 80], ''Steps'', 41, ''Output'', output);');
  lines = strsplit(strtrim(text), "\n");
  last = lines{end};
  % One progress line per shift, each with its elapsed time.
  assert(sum(~cellfun(@isempty, regexp(lines, '^\s+shift\s+\d+/41 .*\(\s*[\d.]+ s\)$'))) == 41, ...
         'expected 41 progress lines with elapsed times:\n%s', text);
  tokens = regexp(last, '^BadPix\(0\.07\) = ([\d.]+) %, MSE x 100 = ([\d.]+) .*; pictures in (.+)$', 'tokens', 'once');
  assert(numel(tokens) == 3, 'unexpected closing line: %s', last);
  assert(abs(str2double(tokens{1}) - result.badpix) < 0.01 && abs(str2double(tokens{2}) - result.mse100) < 0.001, ...
         'the closing line does not give the scores: %s', last);
  assert(strcmp(tokens{3}, result.output) && exist(result.output, 'dir') == 7, 'pictures not in %s', tokens{3});

  % The truth spans the surfaces; the estimate finds the slanted plane and
  % the disk within one shift step at their middles.
  truth = result.truth;
  step = result.shifts(2) - result.shifts(1);
  assert(isequal(size(truth), [72 80]) && isequal(size(result.estimate), [72 80]), 'maps have the wrong size');
  assert(abs(min(truth(:)) + 1.7) < 1e-12 && abs(max(truth(:)) - 1.6) < 1e-12, 'unexpected true range');
  % Rows, columns, and the range of the truth there: the slanted plane, the disk.
  spots = {30:40, 25:35, [-1.5 1]; 38:44, 54:60, [1.6 1.6]};
  for n = 1:rows(spots)
    t = truth(spots{n, 1}, spots{n, 2});
    e = result.estimate(spots{n, 1}, spots{n, 2});
    assert(all(t(:) >= spots{n, 3}(1) & t(:) <= spots{n, 3}(2)), 'spot %d is not on its surface', n);
    assert(mean(abs(e(:) - t(:)) <= step + 1e-9) >= 0.9, 'spot %d: estimate off the truth near %g', n, t(1));
  end
  % At this size the scene gives about 2 % and 5; errors belong on the borders.
  assert(result.badpix < 5 && result.mse100 < 10, 'BadPix(0.07) %g %%, MSE x 100 %g: far off what the scene allows', ...
         result.badpix, result.mse100);

  names = {'centre_view', 'refocused_near', 'refocused_middle', 'refocused_far', 'entropy_varnel', ...
           'entropy_tressik_planes', 'disparity_estimate', 'disparity_truth', 'disparity_error'};
  assert(numel(result.files) == numel(names), 'expected %d pictures', numel(names));
  for n = 1:numel(names)
    file = result.files{n};
    [~, base, ext] = fileparts(file);
    assert(strcmp(ext, '.png') && strncmp(base, names{n}, numel(names{n})), 'unexpected picture %s', file);
    img = imread(file);
    assert(isa(img, 'uint8') && size(img, 3) == 3 && size(img, 1) >= 72 && size(img, 2) >= 80, ...
           '%s is not a colour picture of the image''s size', file);
    assert(numel(unique(img(:))) > 8, '%s is nearly blank', file);
  end
  disp('test_lf_demo: all checks passed');
end
