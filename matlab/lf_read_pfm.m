function map = lf_read_pfm(file)
%LF_READ_PFM  Read a PFM file (a float map such as a disparity map).
%   MAP = LF_READ_PFM(FILE) reads a Portable Float Map: "Pf" gives a
%   rows x cols single array, "PF" a rows x cols x 3 one. Rows are stored
%   from the bottom of the image to the top and come back top row first;
%   the sign of the scale says the byte order (negative: little-endian,
%   positive: big-endian); its magnitude is not applied. Reads what
%   LF_WRITE_PFM writes, bit for bit, and the ground-truth maps of
%   disparity benchmarks.
%
%   Example
%     truth = lf_read_pfm('gt_disp_lowres.pfm');
%     d = lf_read_pfm('disparity.pfm');
%     badpix = 100 * mean(abs(d(:) - truth(:)) > 0.07);
%
%   See also LF_WRITE_PFM.

  fid = fopen(file, 'r');
  if fid < 0
    error('lf_read_pfm:cannotOpen', 'lf_read_pfm: cannot open ''%s''.', file);
  end
  closer = onCleanup(@() fclose(fid));
  bytes = fread(fid, Inf, '*uint8')';
  % Three whitespace-separated tokens after the type, then one whitespace
  % character, then the data.
  tokens = cell(1, 4);
  at = 1;
  for t = 1:4
    while at <= numel(bytes) && any(bytes(at) == [9 10 13 32])
      at = at + 1;
    end
    first = at;
    while at <= numel(bytes) && ~any(bytes(at) == [9 10 13 32]) && at - first < 32
      at = at + 1;
    end
    tokens{t} = char(bytes(first:at - 1));
  end
  at = at + 1;
  planes = find(strcmp(tokens{1}, {'Pf', '', 'PF'}));
  sizes = str2double(tokens(2:4));
  if isempty(planes) || any(isnan(sizes)) || any(sizes(1:2) < 1) || any(sizes(1:2) ~= fix(sizes(1:2))) ...
      || sizes(3) == 0
    error('lf_read_pfm:badHeader', ...
          'lf_read_pfm: ''%s'' does not start with a PFM header ("Pf" or "PF", width, height, nonzero scale).', file);
  end
  cols = sizes(1);
  rows = sizes(2);
  expected = rows * cols * planes * 4;
  got = numel(bytes) - at + 1;
  if got < expected
    error('lf_read_pfm:truncated', 'lf_read_pfm: ''%s'' holds %d bytes of data, expected %d for %d x %d x %d.', ...
          file, max(got, 0), expected, rows, cols, planes);
  end
  data = typecast(bytes(at:at + expected - 1), 'single');
  [~, ~, native] = computer();
  if (sizes(3) < 0) ~= strcmp(native, 'L')
    data = swapbytes(data);
  end
  map = permute(reshape(data, [planes, cols, rows]), [3 2 1]);
  map = map(end:-1:1, :, :);
end
