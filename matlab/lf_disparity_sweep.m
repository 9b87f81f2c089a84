function [disparity, confidence, entropy, images] = lf_disparity_sweep(remapped, C, shifts, varargin)
%LF_DISPARITY_SWEEP  Disparity from the shift factor of least angular entropy.
%   [DISPARITY, CONFIDENCE, ENTROPY] = LF_DISPARITY_SWEEP(R, C, SHIFTS)
%   refocuses the remapped light field R ((rows*C) x (cols*C) x 3,
%   intensities in 0..255, C odd) at every shift factor in SHIFTS, measures
%   the angular entropy of every pixel at each one (olmarin then varnel, or
%   the module lf_entropy_sweep in one pass when it is on the path: the same
%   bits either way), and returns
%     DISPARITY   rows x cols, for each pixel the shift of least entropy,
%                 refined between the shifts (see 'Refine');
%     CONFIDENCE  rows x cols, 0..1, how deep and how unique that minimum is
%                 (see below);
%     ENTROPY     rows x cols x numel(SHIFTS), the entropy maps in nats.
%
%   Sign convention: a scene point at column x and row y of the centre view
%   that appears at column x - d*u in the view u columns to its right, and
%   at row y - d*v in the view v rows below, has disparity d; the shift
%   factor alpha = d lines up all its angular samples, so DISPARITY has the
%   units and the sign of d (pixels per view step). With view columns taken
%   left to right, positive d is in front of the plane of zero disparity.
%
%   [DISPARITY, CONFIDENCE, ENTROPY, IMAGES] also returns the refocused
%   images, rows x cols x 3 x numel(SHIFTS), on the scale of R.
%
%   LF_DISPARITY_SWEEP(R, C) or an empty SHIFTS chooses the shifts itself
%   with a coarse pass: every view shrunk 4 times per side (2 times below
%   128 pixels, not at all below 64), swept over -3 .. 3 in steps of 0.25 at
%   that scale (so -12 .. 12 pixels per view step at full size), refined and
%   scored as below; the 2nd and 98th percentiles of the pixels with
%   confidence at least 0.2, widened by half a coarse step on each side, give
%   the range, covered by at most 41 shifts and no finer than 0.05. It costs
%   a few per cent of the sweep that follows (0.1 s against 2 s at 256 x 256
%   pixels, 9 x 9 views). Disparities beyond its reach are not found.
%
%   Options, as name, value pairs:
%     'Refine'    true (default): the parabola through the least entropy and
%                 its two neighbours in shift order gives the disparity
%                 between them, clamped to half a step either side; at the
%                 ends of the range, at ties of three and between repeated
%                 shifts the shift itself stays. false: the plain shift of
%                 least entropy, the first such shift in SHIFTS where
%                 several tie.
%     'Smooth'    false (default). true: LF_DISPARITY_SMOOTH with its
%                 defaults, a confidence-weighted median over 5 x 5
%                 neighbours guided by the centre view's colours (a fifth
%                 to a third of a 41-shift sweep's time).
%     'Progress'  false (default). true: one line per shift with the elapsed
%                 time and an estimate of the time left.
%
%   Confidence: with the pixel's entropies e over the shifts, mean m,
%   least value e1, and e2 the least value at any other local minimum of
%   e in shift order (more than one step from the least; m when there is
%   none), CONFIDENCE = (m - e1)/m * min(1, (e2 - e1)/(m - e1)): the depth
%   of the dip against the mean times how far the best rival dip stays
%   above it. It is 0 for plain regions (m = 0) and for two equal dips.
%
%   A single-plane R is used as grey for all three colour planes. Samples
%   must lie in 0..255. Texture decides the result: where a pixel's samples
%   agree at every shift (a plain region), every shift has zero entropy, the
%   first one is chosen and its confidence is 0. Within the outermost views'
%   reach of the border (about (C-1)/2 times the largest |shift| pixels) the
%   shifted samples are clamped to the edge and the estimate is less
%   reliable.
%
%   Example
%     V = lf_read_views('my_views', 'Progress', true);   % 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);
%     [d, conf] = lf_disparity_sweep(R, 9, linspace(-2, 2, 41), 'Progress', true);
%     lf_write_pfm('disparity.pfm', d);
%
%   See also LF_DISPARITY_SMOOTH, LF_WRITE_PFM, LF_DISPARITY_PREVIEW,
%   LF_VIEWS_TO_REMAPPED, OLMARIN, VARNEL.

  if nargin < 3
    shifts = [];
  elseif ischar(shifts)
    varargin = [{shifts}, varargin];
    shifts = [];
  end
  opt = struct('refine', true, 'smooth', false, 'progress', false);
  for i = 1:2:numel(varargin)
    if i + 1 > numel(varargin) || ~ischar(varargin{i})
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: options come as name, value pairs.');
    end
    name = lower(varargin{i});
    if ~isfield(opt, name)
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: unknown option ''%s''.', varargin{i});
    end
    value = varargin{i + 1};
    if ~((islogical(value) || isnumeric(value)) && isscalar(value) && isreal(value) && ~isnan(value))
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: option ''%s'' must be true or false.', varargin{i});
    end
    opt.(name) = logical(value);
  end
  if ~(isnumeric(C) && isscalar(C) && C >= 1 && C == fix(C) && mod(C, 2) == 1)
    error('lf_disparity_sweep:badSize', ...
          ['lf_disparity_sweep: C must be an odd whole number (the refocusing visits offsets ' ...
           '-(C-1)/2 .. (C-1)/2 around the centre view); for an even grid drop one row and ' ...
           'one column of views.']);
  end
  C = double(C);
  if ~(isnumeric(remapped) && isreal(remapped)) || ndims(remapped) > 3 ...
      || ~any(size(remapped, 3) == [1 3]) || mod(size(remapped, 1), C) ~= 0 ...
      || mod(size(remapped, 2), C) ~= 0 || isempty(remapped)
    error('lf_disparity_sweep:badRemapped', ...
          ['lf_disparity_sweep: R must be a real (rows*C) x (cols*C) x 3 (or x 1) array ' ...
           'with C = %d, got a %s array of size %s.'], C, class(remapped), mat2str(size(remapped)));
  end
  if ~isempty(shifts) && ~(isnumeric(shifts) && isreal(shifts) && isvector(shifts) && all(isfinite(shifts)))
    error('lf_disparity_sweep:badShifts', 'lf_disparity_sweep: SHIFTS must be a vector of finite numbers.');
  end
  if size(remapped, 3) == 1
    remapped = repmat(remapped, [1 1 3]);
  end
  source = double(remapped);
  highest = max(source(:));
  if highest <= 1 && highest > 0
    warning('lf_disparity_sweep:unitRange', ...
            ['lf_disparity_sweep: every sample is at most 1; the entropy bins whole ' ...
             'intensities 0..255, so scale the samples by 255 first.']);
  end

  try
    if isempty(shifts)
      shifts = default_shifts(source, C, opt.progress);
    end
    shifts = double(shifts(:)');
    [entropy, images] = entropy_volume(source, C, shifts, nargout > 3, opt.progress);
  catch err
    % Both ways of sweeping reject the same samples; the caller sees one id.
    if isempty(regexp(err.identifier, ':sampleOutOfRange$', 'once'))
      rethrow(err);
    end
    error('lf_disparity_sweep:sampleOutOfRange', ...
          ['lf_disparity_sweep: R must hold samples in 0..255 (no NaN); refocused, it gave ' ...
           'a sample outside: %s'], err.message);
  end
  [disparity, confidence] = lf_disparity_from_entropy(entropy, shifts, opt.refine);
  if opt.smooth
    middle = (C + 1) / 2;
    centre = source(middle:C:end, middle:C:end, :);
    disparity = lf_disparity_smooth(disparity, confidence, centre);
  end
end

function [entropy, images] = entropy_volume(source, C, shifts, want_images, progress)
  rows = size(source, 1) / C;
  cols = size(source, 2) / C;
  n = numel(shifts);
  entropy = zeros(rows, cols, n);
  images = [];
  if want_images
    images = zeros(rows, cols, 3, n);
  end
  fast = exist('lf_entropy_sweep') == 3; %#ok<EXIST>
  if fast
    % One call sweeps every shift; with progress, about ten calls.
    chunk = n;
    if progress
      chunk = max(1, ceil(n / 10));
    end
  else
    chunk = 1;
    % olmarin and varnel write in place into these, so each is created here
    % and never copied: a copy would share its data and change with it.
    refocused = zeros(size(source));
    picture = zeros(rows, cols, 3);
    map = zeros(rows, cols);
  end
  started = tic;
  for first = 1:chunk:n
    s = first:min(first + chunk - 1, n);
    if fast && want_images
      [entropy(:, :, s), images(:, :, :, s)] = lf_entropy_sweep(source, C, shifts(s));
    elseif fast
      entropy(:, :, s) = lf_entropy_sweep(source, C, shifts(s));
    else
      olmarin(cols, rows, C, (C - 1) / 2, source, refocused, picture, shifts(s));
      varnel(cols, rows, C, 0, 0, refocused, map);
      entropy(:, :, s) = map;
      if want_images
        images(:, :, :, s) = picture;
      end
    end
    if progress
      elapsed = toc(started);
      left = elapsed / s(end) * (n - s(end));
      for j = s
        plane = entropy(:, :, j);
        fprintf('  shift %2d/%d  alpha = %+6.3f  mean entropy %.3f nats  (%5.1f s, about %.1f s left)\n', ...
                j, n, shifts(j), mean(plane(:)), elapsed, left);
      end
    end
  end
end

function shifts = default_shifts(source, C, progress)
  rows = size(source, 1) / C;
  cols = size(source, 2) / C;
  k = 1 + (min(rows, cols) >= 64) + 2 * (min(rows, cols) >= 128);
  started = tic;
  % Each view shrunk k times by block means: a disparity d becomes d / k.
  r = floor(rows / k);
  c = floor(cols / k);
  block = reshape(source(1:r * k * C, 1:c * k * C, :), [C, k, r, C, k, c, 3]);
  coarse = reshape(sum(sum(block, 2), 5) / (k * k), [C * r, C * c, 3]);
  step = 0.25;
  [d, confidence] = lf_disparity_from_entropy(entropy_volume(coarse, C, -3:step:3, false, false), ...
                                              -3:step:3, true);
  d = k * d(confidence >= 0.2);
  if isempty(d)
    lo = -3 * k;
    hi = 3 * k;
  else
    d = sort(d(:));
    lo = d(max(1, ceil(0.02 * numel(d)))) - k * step / 2;
    hi = d(max(1, ceil(0.98 * numel(d)))) + k * step / 2;
  end
  n = min(41, round((hi - lo) / 0.05) + 1);
  shifts = linspace(lo, hi, n);
  if progress
    fprintf('  coarse pass: %d shifts on %d x %d pixels give %d shifts from %+.3f to %+.3f  (%5.1f s)\n', ...
            numel(-3:step:3), r, c, n, lo, hi, toc(started));
  end
end
