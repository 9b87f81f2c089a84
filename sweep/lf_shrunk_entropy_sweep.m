function varargout = lf_shrunk_entropy_sweep(varargin)
%LF_SHRUNK_ENTROPY_SWEEP  Entropy sweep of a light field with shrunk views (MEX module).
%   E = LF_SHRUNK_ENTROPY_SWEEP(R, C, K, SHIFTS) is bit for bit
%       r = floor(size(R, 1) / C / K);  c = floor(size(R, 2) / C / K);
%       pick = @(n) reshape(bsxfun(@plus, (1:C)', (0:n-1) * K * C), 1, []);
%       E = lf_entropy_sweep(R(pick(r), pick(c), :), C, SHIFTS);
%   the entropy sweep of the light field whose views keep one pixel in K
%   along each side (every angular sample of pixel (i*K, j*K), counted from
%   0, becomes pixel (i, j)), without ever making that shrunk copy of R: a
%   strip of its rows at a time, with the rows its outer views reach at the
%   largest |shift|, is gathered into one buffer and swept there. A
%   disparity d of R is d / K in the shrunk field.
%
%   E = LF_SHRUNK_ENTROPY_SWEEP(R, C, K, SHIFTS, 'Threads', N) runs on N
%   threads (1: on MATLAB's own thread only). The default is every core this
%   process may use. The result is the same for every N.
%
%   Arguments
%     R       (rows*C) x (cols*C) x 3 real double, the remapped light field,
%             as LF_ENTROPY_SWEEP's. rows, cols <= 65535.
%     C       odd whole number >= 1 (any real numeric class, one element).
%     K       whole number 1 .. 65535 (any real numeric class, one element):
%             the shrink factor; K = 1 is LF_ENTROPY_SWEEP(R, C, SHIFTS).
%     SHIFTS  real double vector (or empty), the shift factors in pixels of
%             the shrunk field per unit of angular offset.
%     N       whole number 1 .. 1024, after the option name 'Threads' (any
%             case).
%
%   Outputs
%     E       floor(rows/K) x floor(cols/K) x numel(SHIFTS) double, the
%             entropy maps (nats).
%
%   Errors (identifiers)
%     lf_shrunk_entropy_sweep:inputCount        not 4 or 6 inputs
%     lf_shrunk_entropy_sweep:outputCount       more than 1 output
%     lf_shrunk_entropy_sweep:badArray          R not a real full double array
%     lf_shrunk_entropy_sweep:sourceSize        R not (rows*C) x (cols*C) x 3
%     lf_shrunk_entropy_sweep:badScalar         C or K not a real numeric scalar
%     lf_shrunk_entropy_sweep:emptyScalar       C or K empty
%     lf_shrunk_entropy_sweep:angularSize       C not an odd whole number 1..65535
%     lf_shrunk_entropy_sweep:shrinkFactor      K not a whole number 1..65535
%     lf_shrunk_entropy_sweep:badShifts         SHIFTS not a real full double vector
%     lf_shrunk_entropy_sweep:badOption         not 'Threads' followed by 1..1024
%     lf_shrunk_entropy_sweep:sampleOutOfRange  as LF_ENTROPY_SWEEP's on the
%         shrunk field: the first such shift, and the pixel (of the shrunk
%         field), angular sample and plane.
%     lf_shrunk_entropy_sweep:outOfMemory       the strip buffer does not fit
%
%   Memory: the output, plus a strip buffer of 128 MB (more only when one
%   shrunk row and the rows its views reach need more; with shifts that
%   reach across the whole field, a shrunk copy of R) and a strip's maps.
%
%   Example
%     rows = 80; cols = 100; C = 9;
%     R = rand(rows*C, cols*C, 3) * 255;
%     E = lf_shrunk_entropy_sweep(R, C, 4, -3:0.25:3);   % 20 x 25 x 25
%
%   See also LF_ENTROPY_SWEEP, LF_DISPARITY_SWEEP.

  % Only the help lives here: beside the built module, the module runs.
  error('lf_shrunk_entropy_sweep:notBuilt', ['lf_shrunk_entropy_sweep: the compiled module is not on the ' ...
        'path, only its help. Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
