function varargout = lf_guided_filter(varargin)
%LF_GUIDED_FILTER  Edge-aware smoothing of every slice of a cost volume (MEX module).
%   Q = LF_GUIDED_FILTER(P, G, RADIUS, EPSILON) filters each slice P(:,:,s)
%   with the guided filter, the grey image G as guide: the slice is
%   smoothed over windows of (2*RADIUS+1) x (2*RADIUS+1) pixels, except
%   across the edges of G. With box(x) the mean of x over the window
%   centred on each pixel, clipped at the image border (divided by the
%   number of pixels inside the clipped window):
%       mI  = box(G)                       mP = box(P(:,:,s))
%       vI  = max(box(G.*G) - mI.*mI, 0)   cIP = box(G.*P(:,:,s)) - mI.*mP
%       a   = cIP ./ (vI + EPSILON)        b   = mP - a.*mI
%       Q(:,:,s) = box(a).*G + box(b)
%   (vI is the guide's variance; rounding alone can make it negative, and
%   it is then taken as 0.) The guide's terms are formed once for all
%   slices. The time per pixel does not depend on RADIUS: window sums are
%   running sums, first along the rows, then down the columns, in a fixed
%   order, so Q is the same to the bit on every machine and for every
%   thread count, and within rounding of the formulas above. (A running sum
%   keeps the rounding error of every value it has seen: a value many
%   orders of magnitude above the rest of its slice leaves an error of
%   about 1e-16 of its size in the windows after it.)
%
%   EPSILON is in the units of G squared and sets which edges count: where
%   the variance of G over a window is well above EPSILON, Q follows the
%   edges of G there; where it is well below, Q is a plain box mean of P.
%   For a guide in 0..255, EPSILON = 25^2 treats a step of 50 grey levels
%   (whose variance over a window is about 25^2) as the boundary case. An
%   EPSILON near the rounding error of the variance (1e-16 of max(G(:))^2
%   or less) lets that error through into a and b, and Q in flat regions
%   of G becomes noise.
%
%   Arguments
%     P        rows x cols x S real double: S >= 0 slices, for instance the
%              entropy maps of LF_ENTROPY_SWEEP. A NaN or Inf in a slice
%              makes NaN every pixel of that slice within 2*RADIUS rows and
%              columns of it (the pixels it reaches through a and b); the
%              rest of the slice is filtered as if it held 0 there.
%     G        rows x cols real double, finite: the guide, of any scale
%              (for instance the grey centre view).
%     RADIUS   whole number >= 0 (any real numeric class, one element);
%              0 returns P as it is. Radii beyond the image are
%              allowed: every window is then the whole image.
%     EPSILON  finite number > 0 (any real numeric class, one element).
%
%   Outputs
%     Q        the same size as P, double: the filtered slices.
%
%   Threads: the slices are shared out over the cores of the machine (up
%   to one thread per slice); the result does not depend on how many.
%   Memory: the output, plus two rows x cols maps for the guide's terms
%   and, per thread, 36 columns of running sums and two rings of
%   2*RADIUS+2 columns (of at most cols columns each).
%
%   Errors (identifiers)
%     lf_guided_filter:inputCount   not 4 inputs
%     lf_guided_filter:outputCount  more than 1 output
%     lf_guided_filter:badArray     P or G not a real full double array
%     lf_guided_filter:badSize      P of more than 3 dimensions, or G not
%                                   rows x cols
%     lf_guided_filter:nonFinite    G holds NaN or Inf (the message names
%                                   the first, by row and column)
%     lf_guided_filter:badScalar    RADIUS or EPSILON not one real number
%     lf_guided_filter:emptyScalar  RADIUS or EPSILON empty
%     lf_guided_filter:badRadius    RADIUS negative, fractional, NaN or Inf
%     lf_guided_filter:badEpsilon   EPSILON not above 0, NaN or Inf
%     lf_guided_filter:outOfMemory  the output or working maps do not fit
%
%   Example
%     rows = 40; cols = 50; C = 9;
%     R = rand(rows*C, cols*C, 3) * 255;
%     shifts = -1:0.1:1;
%     E = lf_entropy_sweep(R, C, shifts);
%     centre = (C + 1) / 2;                        % the grey centre view
%     G = mean(R(centre:C:end, centre:C:end, :), 3);
%     F = lf_guided_filter(E, G, 3, 0.01 * 255^2);
%     [~, best] = min(F, [], 3);
%     depth = shifts(best);
%
%   See also LF_ENTROPY_SWEEP, LF_DISPARITY_SWEEP.

  % Only the help lives here: beside the built module, the module runs.
  error('lf_guided_filter:notBuilt', ['lf_guided_filter: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
