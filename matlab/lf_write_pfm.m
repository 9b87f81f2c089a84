function lf_write_pfm(file, map)
%LF_WRITE_PFM  Write a float map (a disparity map) as a PFM file.
%   LF_WRITE_PFM(FILE, MAP) writes MAP, a real rows x cols array (or
%   rows x cols x 3), to FILE in the Portable Float Map format that
%   disparity benchmarks use: the header "Pf" (grey; "PF" for three planes),
%   the width and height, and the scale -1 (little-endian), then 32-bit
%   floats row by row from the bottom row of the image to the top.
%
%   The values are stored in single precision: a map that is single, or
%   whose values single holds exactly, comes back from LF_READ_PFM bit for
%   bit, NaN and Inf included; doubles are rounded to the nearest single,
%   and values beyond single's range become Inf.
%
%   Example
%     [d, conf] = lf_disparity_sweep(R, 9, linspace(-2, 2, 41));
%     lf_write_pfm('disparity.pfm', d);
%     lf_write_pfm('confidence.pfm', conf);
%
%   See also LF_READ_PFM, LF_DISPARITY_PREVIEW.

  % A MATLAB string ("d.pfm") as char; Octave has no string class.
  if isa(file, 'string') && isscalar(file)
    file = char(file);
  end
  if ~ischar(file) || isempty(file)
    error('lf_write_pfm:badFile', 'lf_write_pfm: FILE must be a file name, got a %s.', class(file));
  end
  if ~(isnumeric(map) || islogical(map)) || ~isreal(map) || issparse(map) || isempty(map) ...
      || ndims(map) > 3 || ~any(size(map, 3) == [1 3])
    error('lf_write_pfm:badMap', ...
          'lf_write_pfm: MAP must be a real, non-empty rows x cols (or x 3) array, got a %s array of size %s.', ...
          class(map), mat2str(size(map)));
  end
  [rows, cols, planes] = size(map);
  types = {'Pf', '', 'PF'};
  % Bottom row first, and within a pixel its planes in order.
  data = permute(single(map(end:-1:1, :, :)), [3 2 1]);
  fid = fopen(file, 'w', 'ieee-le');
  if fid < 0
    error('lf_write_pfm:cannotOpen', 'lf_write_pfm: cannot open ''%s'' for writing.', file);
  end
  closer = onCleanup(@() fclose(fid));
  fprintf(fid, '%s\n%d %d\n-1.0\n', types{planes}, cols, rows);
  if fwrite(fid, data(:), 'single') ~= numel(data)
    error('lf_write_pfm:writeFailed', 'lf_write_pfm: could not write all of ''%s''.', file);
  end
end
