function varargout = lf_cost_minimum(varargin)
%LF_COST_MINIMUM  Shift of least cost per pixel and its confidence (MEX module).
%   [D, CONF] = LF_COST_MINIMUM(E, SHIFTS) takes a cost volume E, rows x
%   cols x numel(SHIFTS) (for instance the entropy maps of LF_ENTROPY_SWEEP,
%   filtered by LF_GUIDED_FILTER), and gives for every pixel
%     D     the shift of least cost, refined by the parabola through it and
%           its two neighbours in shift order, clamped to half a step either
%           side; at the ends of the range, at three equal costs and between
%           repeated shifts the shift itself stays;
%     CONF  0..1, (m - e1)/m * min(1, (e2 - e1)/(m - e1)) with m the mean
%           cost, e1 the least and e2 the least cost at any other local
%           minimum in shift order more than one step away (m when there is
%           none); 0 where m <= 0 or m <= e1.
%   Where several shifts share the least cost, the first in SHIFTS counts.
%   SHIFTS need not be sorted or evenly spaced; ties in SHIFTS keep their
%   order. The results have the bits of LF_DISPARITY_FROM_ENTROPY in
%   Octave: every formula is evaluated in the same order, the mean summed
%   in slice order.
%
%   LF_COST_MINIMUM(E, SHIFTS, REFINE) with REFINE false gives the plain
%   shift of least cost; CONF is the same.
%
%   LF_COST_MINIMUM(E, SHIFTS, REFINE, G, RADIUS, EPSILON) first filters
%   every slice of E as LF_GUIDED_FILTER(E, G, RADIUS, EPSILON) does, to
%   the bit, and takes the minimum of the filtered costs; the filtered
%   volume is never returned, which spares the host a copy of it.
%
%   Arguments
%     E       rows x cols x S real double, finite.
%     SHIFTS  real double vector of S >= 1 finite shifts.
%     REFINE  true (default) or false (one element, logical or numeric).
%     G, RADIUS, EPSILON   as for LF_GUIDED_FILTER.
%
%   Outputs
%     D       rows x cols double: the disparity (in the units of SHIFTS).
%     CONF    rows x cols double, 0..1.
%
%   Threads: the filter shares the slices out over the cores, as
%   LF_GUIDED_FILTER does; the minimum runs on the calling thread. The
%   results do not depend on the thread count.
%   Memory: the two maps returned and four rows x cols working maps; with
%   a guide also the filtered volume (the size of E) and the filter's own.
%   E is read, never copied.
%
%   Errors (identifiers)
%     lf_cost_minimum:inputCount   not 2, 3 or 6 inputs
%     lf_cost_minimum:outputCount  more than 2 outputs
%     lf_cost_minimum:badArray     E, SHIFTS or G not a real full double array
%     lf_cost_minimum:badShifts    SHIFTS empty or not a vector
%     lf_cost_minimum:nonFinite    NaN or Inf in SHIFTS, E or G (the message
%                                  names the first), or E so large that
%                                  the filter's sums overflow
%     lf_cost_minimum:badSize      E not rows x cols x numel(SHIFTS), or G
%                                  not rows x cols
%     lf_cost_minimum:badScalar    REFINE, RADIUS or EPSILON not one real
%                                  number or logical
%     lf_cost_minimum:emptyScalar  REFINE, RADIUS or EPSILON empty
%     lf_cost_minimum:badRefine    REFINE other than 0 or 1
%     lf_cost_minimum:badRadius    RADIUS negative, fractional, NaN or Inf
%     lf_cost_minimum:badEpsilon   EPSILON not above 0, NaN or Inf
%     lf_cost_minimum:outOfMemory  the maps do not fit
%
%   Example
%     rows = 40; cols = 50; C = 9;
%     R = rand(rows*C, cols*C, 3) * 255;
%     shifts = -1:0.1:1;
%     E = lf_entropy_sweep(R, C, shifts);
%     [d, conf] = lf_cost_minimum(E, shifts);
%     G = mean(R(5:C:end, 5:C:end, :), 3);         % the grey centre view
%     [d, conf] = lf_cost_minimum(E, shifts, true, G, 4, 16);
%
%   See also LF_GUIDED_FILTER, LF_ENTROPY_SWEEP, LF_DISPARITY_SWEEP,
%   LF_DISPARITY_FROM_ENTROPY.

  % Only the help lives here: beside the built module, the module runs.
  error('lf_cost_minimum:notBuilt', ['lf_cost_minimum: the compiled module is not on the path, only its help. ' ...
        'Build it (cmake, or build_modules) and addpath the folder that holds it.']);
end
