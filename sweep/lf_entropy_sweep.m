function varargout = lf_entropy_sweep(varargin)
%LF_ENTROPY_SWEEP  Angular entropy of a light field refocused at many shifts (MEX module).
%   E = LF_ENTROPY_SWEEP(R, C, SHIFTS) refocuses the remapped light field R
%   at every shift of SHIFTS and returns, for each, the mean over the three
%   colour planes of the entropy of every pixel's angular samples. E(:,:,s)
%   is bit for bit what
%       T = zeros(size(R)); I = zeros(rows, cols, 3); M = zeros(rows, cols);
%       olmarin(cols, rows, C, (C-1)/2, R, T, I, SHIFTS(s));
%       varnel(cols, rows, C, 0, 0, T, M);
%   leaves in M, without ever holding a refocused light field T.
%
%   [E, IMAGES] = LF_ENTROPY_SWEEP(R, C, SHIFTS) also returns the refocused
%   images: IMAGES(:,:,:,s) is bit for bit what olmarin leaves in I.
%
%   [...] = LF_ENTROPY_SWEEP(R, C, SHIFTS, 'Threads', N) runs on N threads
%   (1: on MATLAB's own thread only). The default is every core this
%   process may use. The results are the same for every N.
%
%   Arguments
%     R       (rows*C) x (cols*C) x 3 real double, the remapped light field:
%             angular sample (a, b) of pixel (r, c) in plane k, counted from
%             0, is R(r*C + a + 1, c*C + b + 1, k + 1). rows, cols <= 65535.
%     C       odd whole number >= 1 (any real numeric class, one element):
%             the side of each pixel's block of angular samples; every
%             angular offset -(C-1)/2 .. (C-1)/2 is used.
%     SHIFTS  real double vector (or empty), the shift factors in pixels
%             per unit of angular offset, as olmarin's ALPHA.
%     N       whole number 1 .. 1024, after the option name 'Threads' (any
%             case).
%
%   Outputs
%     E       rows x cols x numel(SHIFTS) double, the entropy maps (nats).
%     IMAGES  rows x cols x 3 x numel(SHIFTS) double, the refocused images.
%   Empty SHIFTS give rows x cols x 0 outputs.
%
%   Errors (identifiers)
%     lf_entropy_sweep:inputCount        not 3 or 5 inputs
%     lf_entropy_sweep:outputCount       more than 2 outputs
%     lf_entropy_sweep:badArray          R not a real full double array
%     lf_entropy_sweep:sourceSize        R not (rows*C) x (cols*C) x 3
%     lf_entropy_sweep:badScalar         C not a real numeric scalar
%     lf_entropy_sweep:emptyScalar       C empty
%     lf_entropy_sweep:angularSize       C not an odd whole number 1..65535
%     lf_entropy_sweep:badShifts         SHIFTS not a real full double vector
%     lf_entropy_sweep:badOption         not 'Threads' followed by 1..1024
%     lf_entropy_sweep:sampleOutOfRange  a refocused sample that varnel would
%         reject (single-precision value not strictly between -0.5 and
%         255.5, or NaN; a NaN or infinite shift gives NaN): the message
%         names the first such shift (index and value), and within it the
%         pixel, angular sample and plane varnel would name.
%     lf_entropy_sweep:outOfMemory       the tile buffers do not fit (outputs
%         too large are refused by MATLAB or Octave with its own error)
%
%   Memory: the outputs, plus a tile buffer of about 300 KB per thread.
%
%   Example
%     rows = 40; cols = 50; C = 9;
%     R = rand(rows*C, cols*C, 3) * 255;
%     shifts = -1:0.1:1;
%     E = lf_entropy_sweep(R, C, shifts);
%     [~, best] = min(E, [], 3);
%     depth = shifts(best);                 % rows x cols, the best shift
%
%   See also OLMARIN, VARNEL, LF_DISPARITY_SWEEP.

  % Only the help lives here: beside the built module, the module runs.
  error('lf_entropy_sweep:notBuilt', ['lf_entropy_sweep: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
