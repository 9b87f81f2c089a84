function varnel(varargin)
%VARNEL  Angular entropy of every pixel, mean over the colour planes (MEX module).
%   VARNEL(COLS, ROWS, C, X, Y, S, M) builds, for every pixel of the
%   remapped light field S and each colour plane, a 256-bin histogram of
%   the pixel's C x C angular samples, takes its entropy in nats,
%   -sum(p .* log(p)), and writes the mean of the three plane entropies into
%   M, in place. A pixel whose samples agree scores 0; the more they
%   disagree, the higher, up to log(C^2). After refocusing with olmarin, a
%   low entropy means the pixel is in focus at that shift factor.
%   The module returns nothing.
%
%   Arguments
%     COLS  scalar, image columns (read as a signed 32-bit whole number)
%     ROWS  scalar, image rows (read the same way)
%     C     scalar, side of each pixel's C x C block of angular samples
%     X, Y  ignored: any value
%     S     (ROWS*C) x (COLS*C) x 3 double, read: a remapped light field
%           laid out as for olmarin, intensities in 0..255. Each sample is
%           narrowed to single precision and rounded to the nearest whole
%           number, halves away from zero, to find its bin, so it must lie
%           strictly between -0.5 and 255.5 (NaN is out of range).
%     M     ROWS x COLS double, written: the entropy map
%   Scalars may be of any real numeric or logical class; only their first
%   element is read, truncated toward zero. C <= 0 makes every map element
%   0; ROWS or COLS <= 0 writes nothing.
%
%   In place: M must be a double array that you created, for instance with
%   zeros, large enough for the sizes given; the module overwrites its data.
%   A copy made before the call, M2 = M, shares M's data and changes with it
%   (write M2 = M + 0, or copy after the call). M must not share data with
%   S: such a call is rejected.
%
%   Errors: "Seven input arguments required." for any other number of
%   inputs, "Too many output arguments." for two or more outputs, and
%   identified errors for wrong arguments (varnel:badArray,
%   varnel:arrayTooSmall, varnel:badScalar, varnel:emptyScalar,
%   varnel:sharedData, varnel:sampleOutOfRange). A rejected call changes no
%   array.
%
%   Example
%     rows = 40; cols = 50; C = 9;
%     S = round(rand(rows*C, cols*C, 3) * 255);
%     M = zeros(rows, cols);
%     varnel(cols, rows, C, 0, 0, S, M);
%
%   See also OLMARIN, TRESSIK, LF_DISPARITY_SWEEP.

  % Only the help lives here: beside the built module, the module runs.
  error('varnel:notBuilt', ['varnel: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
