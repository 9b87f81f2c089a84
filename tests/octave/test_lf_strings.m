% MATLAB string arguments ("d.pfm", "Progress") act as their char
% equivalents in the helpers that take file names and option names.
function test_lf_strings()
  h = lf_test_helpers();
  here = fileparts(mfilename('fullpath'));
  addpath(fullfile(here, 'matlab_string'));
  restore = onCleanup(@() rmpath(fullfile(here, 'matlab_string')));
  assert(isa(string('x'), 'string') && ~ischar(string('x')), 'the string stand-in is not in use');

  folder = tempname();
  mkdir(folder);
  cleanup = onCleanup(@() remove_folder(folder));
  V = randi([0 255], 3, 3, 4, 5, 3);
  for i = 1:9
    imwrite(uint8(squeeze(V(floor((i - 1) / 3) + 1, mod(i - 1, 3) + 1, :, :, :))), fullfile(folder, sprintf('v%d.png', i)));
  end
  map = single([1 -2 NaN; Inf 0.5 3]);
  pfm = fullfile(folder, 'd.pfm');

  % call, what it must give
  cases = {
    @() write_read(string(pfm), map, pfm),                       map
    @() lf_read_views(string(folder)),                           V
    @() lf_read_views(string(folder), string('v*.png')),         V
    @() lf_read_views(folder, string('Progress'), false),        V
    @() lf_read_views(string(folder), string('v*.png'), string('Progress'), false), V
  };
  for n = 1:rows(cases)
    assert(isequaln(cases{n, 1}(), cases{n, 2}), 'case %d: result differs from the char call''s', n);
  end
  h.expect_error('lf_read_views:badOption', @() lf_read_views(folder, string('Speed'), 1));
  disp('test_lf_strings: all checks passed');
end

function got = write_read(name, map, file)
  lf_write_pfm(name, map);
  got = lf_read_pfm(file);
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
