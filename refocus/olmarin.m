function olmarin(varargin)
%OLMARIN  Refocus a remapped light field by shift and add (MEX module).
%   OLMARIN(COLS, ROWS, C, D, S, T, I, ALPHA) shifts every angular sample of
%   the remapped light field S across the image by ALPHA pixels per unit of
%   angular offset, resamples it by bilinear interpolation (clamped to the
%   edge pixels at the border), and writes, in place:
%     T  the refocused remapped light field, in the layout of S;
%     I  the refocused image: for every pixel and colour plane, the sum of
%        its refocused angular samples divided by C^2.
%   The module returns nothing.
%
%   Arguments
%     COLS   scalar, image columns (read as a whole number 0..65535)
%     ROWS   scalar, image rows (read as a whole number 0..65535)
%     C      scalar, side of each pixel's C x C block of angular samples
%     D      scalar, angular radius: offsets -D..D are visited; C >= 2*D+1
%     S      (ROWS*C) x (COLS*C) x 3 double, read: the remapped light field.
%            Angular sample (a, b) of pixel (r, c) in plane k, counted from
%            0, is S(r*C + a + 1, c*C + b + 1, k + 1).
%     T      (ROWS*C) x (COLS*C) x 3 double, written
%     I      ROWS x COLS x 3 double, written
%     ALPHA  scalar double, the shift factor. The sample at angular offset
%            (u, v) = (b - D, a - D) is read at column c - ALPHA*u and row
%            r - ALPHA*v of its neighbours' blocks, same angular position.
%   Scalars may be of any real numeric or logical class; only their first
%   element is read, and sizes are truncated toward zero. Block positions
%   beyond 2*D are neither read nor written when C > 2*D + 1.
%
%   In place: T and I must be double arrays that you created, for instance
%   with zeros, large enough for the sizes given; the module overwrites their
%   data. A copy made before the call, T2 = T, shares T's data and changes
%   with it (write T2 = T + 0, or copy after the call). T and I must not
%   share data with S or with each other: such a call is rejected.
%
%   Errors: "Eight input arguments required." for any other number of
%   inputs, "Too many output arguments." for two or more outputs, and
%   identified errors for wrong arguments (olmarin:badArray,
%   olmarin:arrayTooSmall, olmarin:badScalar, olmarin:emptyScalar,
%   olmarin:angularSizeTooSmall, olmarin:sharedData). A rejected call
%   changes no array.
%
%   Example
%     rows = 40; cols = 50; C = 9; D = 4;
%     S = rand(rows*C, cols*C, 3) * 255;     % or lf_views_to_remapped(views)
%     T = zeros(size(S));
%     I = zeros(rows, cols, 3);
%     olmarin(cols, rows, C, D, S, T, I, 0.5);
%
%   Which ALPHA brings a point of a given disparity into focus: see
%   LF_DISPARITY_SWEEP.
%
%   See also VARNEL, TRESSIK, LF_VIEWS_TO_REMAPPED, LF_DISPARITY_SWEEP.

  % Only the help lives here: beside the built module, the module runs.
  error('olmarin:notBuilt', ['olmarin: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
