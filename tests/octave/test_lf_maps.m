% Float maps to PFM files and back, the file's layout, foreign byte order,
% damaged files, and the preview scaled to a map's own range.
function test_lf_maps()
  h = lf_test_helpers();
  folder = tempname();
  mkdir(folder);
  cleanup = onCleanup(@() remove_folder(folder));
  file = fullfile(folder, 'map.pfm');
  check_round_trip(h, file);
  check_layout(file);
  check_rejections(h, folder, file);
  check_preview();
  disp('test_lf_maps: all checks passed');
end

function check_round_trip(h, file)
  rand('seed', 3);
  special = single([NaN Inf -Inf -0 realmin('single') / 4 realmax('single') 1e-3]);
  % Maps, and what must come back: singles bit for bit, doubles rounded.
  cases = {
    single(7.25),                          single(7.25)
    single(randn(1, 9)),                   []
    single(randn(6, 1)),                   []
    reshape(special, 1, 7),                []
    single(randn(5, 7, 3)),                []
    randn(4, 3),                           'single'
    [1e39 -1e39 0.1],                      single([Inf -Inf 0.1])
    true(2, 2),                            single(ones(2, 2))
  };
  for n = 1:rows(cases)
    [map, want] = cases{n, :};
    if isempty(want)
      want = map;
    elseif ischar(want)
      want = single(map);
    end
    lf_write_pfm(file, map);
    h.same_bits(typecast_all(lf_read_pfm(file)), typecast_all(want), sprintf('case %d', n));
  end
end

function bits = typecast_all(a)
  % same_bits compares doubles; the singles' bits go through uint32 first.
  bits = double(reshape(typecast(a(:), 'uint32'), size(a)));
end

function check_layout(file)
  % Header text, then the bottom row first, each row left to right.
  lf_write_pfm(file, single([1 2 3; 4 5 6]));
  fid = fopen(file, 'r');
  bytes = fread(fid, Inf, '*uint8')';
  fclose(fid);
  header = sprintf('Pf\n3 2\n-1.0\n');
  assert(strcmp(char(bytes(1:numel(header))), header), 'header is "%s"', char(bytes(1:numel(header))));
  data = typecast(bytes(numel(header) + 1:end), 'single');
  assert(isequal(data, single([4 5 6 1 2 3])), 'data order %s', mat2str(data));
  % Big-endian files written by hand: planes interleaved, bottom row first.
  written = {
    'PF\n2 1\n1.0\n', 1:6,   cat(3, [1 4], [2 5], [3 6])
    'Pf\n1 2\n2.5\n', [1 2], [2; 1]
  };
  for n = 1:rows(written)
    fid = fopen(file, 'w', 'ieee-be');
    fprintf(fid, written{n, 1});
    fwrite(fid, single(written{n, 2}), 'single');
    fclose(fid);
    assert(isequal(lf_read_pfm(file), single(written{n, 3})), 'big-endian file %d read wrong', n);
  end
end

function check_rejections(h, folder, file)
  broken = {
    'P6\n2 2\n255\n',        'lf_read_pfm:badHeader'
    'Pf\n2 x\n-1.0\n',       'lf_read_pfm:badHeader'
    'Pf\n2 2\n0\n',          'lf_read_pfm:badHeader'
    'Pf\n2 2\n-1.0\nabcd',   'lf_read_pfm:truncated'
  };
  for n = 1:rows(broken)
    fid = fopen(file, 'w');
    fprintf(fid, broken{n, 1});
    fclose(fid);
    h.expect_error(broken{n, 2}, @() lf_read_pfm(file));
  end
  bad = {
    @() lf_read_pfm(fullfile(folder, 'none.pfm')), 'lf_read_pfm:cannotOpen'
    @() lf_write_pfm(file, complex(1, 1)), 'lf_write_pfm:badMap'
    @() lf_write_pfm(file, zeros(0, 3)), 'lf_write_pfm:badMap'
    @() lf_write_pfm(file, zeros(2, 2, 2)), 'lf_write_pfm:badMap'
    @() lf_write_pfm(file, {1}), 'lf_write_pfm:badMap'
    @() lf_write_pfm(fullfile(folder, 'no', 'such', 'x.pfm'), 1), 'lf_write_pfm:cannotOpen'
    @() lf_disparity_preview(zeros(2, 2, 2)), 'lf_disparity_preview:badMap'
    @() lf_disparity_preview(1, [2 1]), 'lf_disparity_preview:badLimits'
  };
  for n = 1:rows(bad)
    h.expect_error(bad{n, 2}, bad{n, 1});
  end
end

function check_preview()
  % The map's own ends take the scale's ends, whatever its range; NaN is
  % black; given limits clip.
  d = [-3.5 0; NaN 7.25; Inf -Inf];
  [rgb, limits] = lf_disparity_preview(d);
  assert(isa(rgb, 'uint8') && isequal(size(rgb), [3 2 3]) && isequal(limits, [-3.5 7.25]), 'preview size or limits');
  low = squeeze(rgb(1, 1, :))';
  high = squeeze(rgb(2, 2, :))';
  assert(isequal(squeeze(rgb(3, 2, :))', low) && isequal(squeeze(rgb(3, 1, :))', high), 'infinities not at the ends');
  assert(all(rgb(2, 1, :) == 0) && ~isequal(low, high) && sum(high) > sum(low), 'NaN not black or ends alike');
  clipped = lf_disparity_preview(d, [0 1]);
  assert(isequal(squeeze(clipped(1, 1, :))', squeeze(clipped(1, 2, :))'), 'values below the limits not clipped');
  constant = lf_disparity_preview(2 * ones(2));
  assert(numel(unique(constant(:, :, 1))) == 1, 'a constant map is not one colour');
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
