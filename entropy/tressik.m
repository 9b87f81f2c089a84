function tressik(varargin)
%TRESSIK  Angular entropy of every pixel, one map per colour plane (MEX module).
%   TRESSIK(COLS, ROWS, C, X, S, Y, M0, M1, M2) builds, for every pixel of
%   the remapped light field S and each colour plane, a 256-bin histogram of
%   the pixel's C x C angular samples, and writes its entropy in nats,
%   -sum(p .* log(p)), in place into M0 (first plane), M1 (second) and M2
%   (third). Samples are binned by truncation toward zero (varnel rounds).
%   The module returns nothing.
%
%   Arguments
%     COLS        scalar, image columns (read as a whole number 0..65535)
%     ROWS        scalar, image rows (read the same way)
%     C           scalar, side of each pixel's C x C block of angular samples
%     X, Y        ignored: any value (inputs 4 and 6)
%     S           (ROWS*C) x (COLS*C) x 3 double, read: a remapped light
%                 field laid out as for olmarin, intensities in 0..255. Each
%                 sample is narrowed to single precision and truncated toward
%                 zero to find its bin, so it must lie strictly between -1
%                 and 256 (NaN is out of range).
%     M0, M1, M2  ROWS x COLS double each, written: the entropy maps
%   Scalars may be of any real numeric or logical class; only their first
%   element is read, and sizes are truncated toward zero. C = 0 makes every
%   map element 0; ROWS or COLS = 0 writes nothing.
%
%   In place: M0, M1 and M2 must be three separate double arrays that you
%   created, for instance with zeros, large enough for the sizes given; the
%   module overwrites their data. A copy made before the call, M3 = M0,
%   shares M0's data and changes with it (write M3 = M0 + 0, or copy after
%   the call). The maps must not share data with S or with one another: such
%   a call is rejected.
%
%   Errors: "Nine input arguments required." for any other number of
%   inputs, "Too many output arguments." for two or more outputs, and
%   identified errors for wrong arguments (tressik:badArray,
%   tressik:arrayTooSmall, tressik:badScalar, tressik:emptyScalar,
%   tressik:sharedData, tressik:sampleOutOfRange). A rejected call changes
%   no array.
%
%   Example
%     rows = 40; cols = 50; C = 9;
%     S = round(rand(rows*C, cols*C, 3) * 255);
%     M0 = zeros(rows, cols); M1 = zeros(rows, cols); M2 = zeros(rows, cols);
%     tressik(cols, rows, C, 0, S, 0, M0, M1, M2);
%
%   See also OLMARIN, VARNEL.

  % Only the help lives here: beside the built module, the module runs.
  error('tressik:notBuilt', ['tressik: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
