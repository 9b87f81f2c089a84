function [disparity, confidence, entropy, images, info] = lf_disparity_sweep(remapped, C, shifts, varargin)
%LF_DISPARITY_SWEEP  Disparity from the shift factor of least angular entropy.
%   [DISPARITY, CONFIDENCE, ENTROPY] = LF_DISPARITY_SWEEP(R, C, SHIFTS)
%   refocuses the remapped light field R ((rows*C) x (cols*C) x 3,
%   intensities in 0..255, C odd) at every shift factor in SHIFTS, measures
%   the angular entropy of every pixel at each one (olmarin then varnel, or
%   the module lf_entropy_sweep in one pass when it is on the path: the same
%   bits either way), filters each entropy map with the centre view as its
%   guide, and returns
%     DISPARITY   rows x cols, for each pixel the shift of least filtered
%                 entropy, refined between the shifts, then smoothed (see
%                 'Filter', 'Refine', 'Smooth');
%     CONFIDENCE  rows x cols, 0..1, how deep and how unique that minimum is
%                 (see below);
%     ENTROPY     rows x cols x numel(SHIFTS), the entropy maps in nats, as
%                 measured (before the filter).
%
%   Sign convention: a scene point at column x and row y of the centre view
%   that appears at column x - d*u in the view u columns to its right, and
%   at row y - d*v in the view v rows below, has disparity d; the shift
%   factor alpha = d lines up all its angular samples, so DISPARITY has the
%   units and the sign of d (pixels per view step). With view columns taken
%   left to right, positive d is in front of the plane of zero disparity.
%
%   [DISPARITY, CONFIDENCE, ENTROPY, IMAGES, INFO] also returns the
%   refocused images, rows x cols x 3 x numel(SHIFTS), on the scale of R
%   (made only when asked for: they take 24 bytes per pixel and shift; see
%   LF_ALL_IN_FOCUS), and INFO with INFO.shifts, the shifts used, and
%   INFO.seconds, the time taken.
%
%   LF_DISPARITY_SWEEP(R, C) or an empty SHIFTS finds the shifts from the
%   light field itself, in two coarse passes (swept by the module
%   LF_SHRUNK_ENTROPY_SWEEP when it is on the path, without a shrunk copy
%   of R; the same shifts either way). The first keeps one pixel in
%   k = 4 of every view along each side (in 2 below 128 pixels, every pixel
%   below 64) and
%   sweeps -3 .. 3 in steps of 0.25 at that scale (-12 .. 12 pixels per
%   view step at full size); an end of that range where at least 1 % of the
%   confidence-weighted estimates lie within a step is pushed out by 3, at
%   most twice. The second pass, at k/2, sweeps what the first found plus
%   three of its own steps beyond each end. In each pass the range runs
%   from the 0.5th to the 99.5th percentile of the refined estimates, each
%   weighted by its confidence, so that a surface is kept by its trusted
%   area and scattered untrusted minima are cut. The second pass also
%   counts, at each pair of neighbouring shifts, the pixels whose entropy
%   has a clear local minimum there shared with a neighbour pixel: where
%   1.5 % of the frame or more does, a surface lies, even one that never
%   has the least entropy (thin bars in front of a plain background, which
%   most views see past them); the outermost such pairs widen the range,
%   or set its end where the percentile lies less than half a step beyond.
%   The range is widened by a quarter of the last pass's step on each side
%   and covered by at most 41 shifts, no finer than 0.05 apart. Structures
%   thinner than about 2k pixels (bars, twigs) can vanish from the shrunk
%   views and fall outside the range; so do surfaces beyond 36 pixels per
%   view step.
%
%   Options, as name, value pairs:
%     'Filter'    true (default): every entropy map goes through a guided
%                 filter (as LF_GUIDED_FILTER; the module LF_COST_MINIMUM,
%                 which must be on the path, filters and takes the minimum) with the grey centre view (the mean of its planes)
%                 as guide, before the minimum and the confidence are taken:
%                 the entropies are averaged over surfaces of like
%                 brightness and not across their edges. false: the raw
%                 entropy maps.
%     'FilterRadius'   the filter's window half width, in pixels (4)
%     'FilterEpsilon'  its regularisation, in squared intensity units (16):
%                 larger values smooth across fainter edges.
%     'Segments'  true (default): after the filter, plain regions of the
%                 grey centre view (those whose variation is mostly noise)
%                 take, at their unconfident pixels, the least of the
%                 entropies averaged over the whole region and a band of its
%                 colour around it (LF_DISPARITY_SEGMENTS): a plain pixel's
%                 own entropies hold no depth, the region's border with
%                 texture does. A region gets one disparity: slanted or
%                 curved plain surfaces come out flat. Skipped with
%                 'Filter', false. false: the filter's estimate as it is.
%     'SegmentSize'        the least region, as a share of the frame (0.003)
%     'SegmentConfidence'  the confidence below which a pixel takes its
%                 region's disparity (0.1); 0 leaves every pixel as it is.
%     'Refine'    true (default): the parabola through the least entropy and
%                 its two neighbours in shift order gives the disparity
%                 between them, clamped to half a step either side; at the
%                 ends of the range, at ties of three and between repeated
%                 shifts the shift itself stays. false: the plain shift of
%                 least entropy, the first such shift in SHIFTS where
%                 several tie.
%     'Smooth'    false (default). true: then LF_DISPARITY_SMOOTH, a
%                 confidence-weighted median over 5 x 5 neighbours guided by
%                 the centre view's colours; after the filter it gains little
%                 (a tenth of the bad pixels or less on the synthetic
%                 scenes) for a third of a sweep's time.
%     'SmoothRadius', 'SmoothColour'   its window half width (2) and colour
%                 scale (12).
%     'Progress'  false (default). true: the range found, one line per shift
%                 with the elapsed time and an estimate of the time left, and
%                 the total time.
%   'Filter', false, 'Smooth', false, 'Refine', false gives the plain shift
%   of least entropy, as lf_disparity_from_entropy(ENTROPY, SHIFTS, false).
%
%   Confidence: with the pixel's (filtered) entropies e over the shifts,
%   mean m, least value e1, and e2 the least value at any other local
%   minimum of e in shift order (more than one step from the least; m when
%   there is none), CONFIDENCE = (m - e1)/m * min(1, (e2 - e1)/(m - e1)):
%   the depth of the dip against the mean times how far the best rival dip
%   stays above it. It is 0 for plain regions (m = 0) and for two equal
%   dips.
%
%   A single-plane R is used as grey for all three colour planes. Samples
%   must lie in 0..255. Texture decides the result: where a pixel's samples
%   agree at every shift (a plain region), every shift has zero entropy and
%   the pixel's confidence is 0; the filter and the smoothing fill such
%   pixels from their neighbours only within their windows. Glossy surfaces
%   (the colour changes with the view) and occlusion borders (some views
%   see another surface) give wrong minima. Within the outermost views'
%   reach of the border (about (C-1)/2 times the largest |shift| pixels) the
%   shifted samples are clamped to the edge and the estimate is less
%   reliable.
%
%   Example
%     V = lf_read_views('my_views', 'Progress', true);   % 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);
%     [d, conf] = lf_disparity_sweep(R, 9, 'Progress', true);
%     lf_write_pfm('disparity.pfm', d);
%
%   See also LF_DISPARITY_SMOOTH, LF_DISPARITY_SEGMENTS, LF_DISPARITY_SCORE, LF_ALL_IN_FOCUS,
%   LF_WRITE_PFM, LF_DISPARITY_PREVIEW, LF_VIEWS_TO_REMAPPED, OLMARIN, VARNEL.

  if nargin < 3
    shifts = [];
  end
  if isa(shifts, 'string')
    shifts = char(shifts);
  end
  if ischar(shifts)
    varargin = [{shifts}, varargin];
    shifts = [];
  end
  opt = options(varargin);
  if ~(isnumeric(C) && isscalar(C) && C >= 1 && C == fix(C) && mod(C, 2) == 1)
    error('lf_disparity_sweep:badSize', ...
          ['lf_disparity_sweep: C must be an odd whole number (the refocusing visits offsets ' ...
           '-(C-1)/2 .. (C-1)/2 around the centre view); for an even grid drop one row and ' ...
           'one column of views.']);
  end
  C = double(C);
  if opt.filter && exist('lf_cost_minimum') ~= 3 %#ok<EXIST>
    % No m-code stand-in: its sums would run in another order, and the
    % estimate would then depend on what is on the path.
    error('lf_disparity_sweep:noModule', ...
          ['lf_disparity_sweep: ''Filter'' needs the module lf_cost_minimum, which is not on the path; ' ...
           'build it (build_modules or cmake) and addpath its folder, or pass ''Filter'', false.']);
  end
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
  middle = (C + 1) / 2;
  centre = source(middle:C:end, middle:C:end, :);
  % A centre-view sample above 1 settles it without reading all of R.
  highest = max(centre(:));
  if ~(highest > 1)
    highest = max(source(:));
  end
  if highest <= 1 && highest > 0
    warning('lf_disparity_sweep:unitRange', ...
            ['lf_disparity_sweep: every sample is at most 1; the entropy bins whole ' ...
             'intensities 0..255, so scale the samples by 255 first.']);
  end

  started = tic;
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
  if opt.filter
    % Each map filtered with the centre view as its guide: entropies are
    % averaged within surfaces, not across their edges. The module keeps
    % the filtered volume to itself: returned, the host would copy it.
    grey = sum(centre, 3) / 3;
    [disparity, confidence] = lf_cost_minimum(entropy, shifts, opt.refine, grey, ...
                                              opt.filterradius, opt.filterepsilon);
    if opt.segments
      disparity = lf_disparity_segments(disparity, confidence, grey, entropy, shifts, 'Size', opt.segmentsize, ...
                                        'Confidence', opt.segmentconfidence, 'Refine', opt.refine);
    end
  else
    [disparity, confidence] = lf_disparity_from_entropy(entropy, shifts, opt.refine);
  end
  if opt.smooth
    disparity = lf_disparity_smooth(disparity, confidence, centre, 'Radius', opt.smoothradius, ...
                                    'Colour', opt.smoothcolour);
  end
  if nargout > 4
    info = struct('shifts', shifts, 'seconds', toc(started));
  end
  if opt.progress
    fprintf('  disparity from %d shifts, %+.3f .. %+.3f, in %.1f s\n', numel(shifts), min(shifts), max(shifts), ...
            toc(started));
  end
end

function opt = options(args)
  opt = struct('refine', true, 'filter', true, 'smooth', false, 'progress', false, 'filterradius', 4, ...
               'filterepsilon', 16, 'smoothradius', 2, 'smoothcolour', 12, 'segments', true, ...
               'segmentsize', 0.003, 'segmentconfidence', 0.1);
  logical_options = {'refine', 'filter', 'smooth', 'progress', 'segments'};
  for i = 1:2:numel(args)
    name = args{i};
    if isa(name, 'string') && isscalar(name)
      name = char(name);
    end
    if i + 1 > numel(args) || ~ischar(name)
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: options come as name, value pairs.');
    end
    key = lower(name);
    if ~isfield(opt, key)
      error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: unknown option ''%s''.', name);
    end
    value = args{i + 1};
    ok = (islogical(value) || isnumeric(value)) && isscalar(value) && isreal(value) && ~isnan(value);
    if any(strcmp(key, logical_options))
      if ~ok
        error('lf_disparity_sweep:badOption', 'lf_disparity_sweep: option ''%s'' must be true or false, got %s.', ...
              name, describe(value));
      end
      value = logical(value);
    elseif any(strcmp(key, {'segmentsize', 'segmentconfidence'}))
      if ~(ok && value >= 0 && value <= 1)
        error('lf_disparity_sweep:badOption', ...
              'lf_disparity_sweep: option ''%s'' must be a number in 0..1, got %s.', name, describe(value));
      end
      value = double(value);
    elseif strcmp(key, 'filterepsilon')
      if ~(ok && isfinite(value) && value > 0)
        error('lf_disparity_sweep:badOption', ...
              'lf_disparity_sweep: option ''%s'' must be a finite number above 0, got %s.', name, describe(value));
      end
      value = double(value);
    else
      if ~(ok && isfinite(value) && value >= 0 && value == fix(value))
        error('lf_disparity_sweep:badOption', ...
              'lf_disparity_sweep: option ''%s'' must be a whole number >= 0, got %s.', name, describe(value));
      end
      value = double(value);
    end
    opt.(key) = value;
  end
end

function text = describe(value)
  if (isnumeric(value) || islogical(value)) && isscalar(value)
    text = num2str(value);
  else
    text = sprintf('a %s array of size %s', class(value), mat2str(size(value)));
  end
end

function [entropy, images] = entropy_volume(source, C, shifts, want_images, progress)
  rows = size(source, 1) / C;
  cols = size(source, 2) / C;
  n = numel(shifts);
  images = [];
  fast = exist('lf_entropy_sweep') == 3; %#ok<EXIST>
  if fast
    % One call sweeps every shift; with progress, four: each call sets up
    % its tiles and threads anew, so fewer calls keep most of the speed.
    chunk = n;
    if progress
      chunk = max(1, ceil(n / 4));
    end
  else
    chunk = 1;
  end
  if ~fast || chunk < n
    entropy = zeros(rows, cols, n);
    if want_images
      images = zeros(rows, cols, 3, n);
    end
  end
  if ~fast
    % olmarin and varnel write in place into these, so each is created here
    % and never copied: a copy would share its data and change with it.
    refocused = zeros(size(source));
    picture = zeros(rows, cols, 3);
    map = zeros(rows, cols);
  end
  started = tic;
  for first = 1:chunk:n
    s = first:min(first + chunk - 1, n);
    if fast && chunk == n && want_images
      % The module's own arrays, not copies into ones made here.
      [entropy, images] = lf_entropy_sweep(source, C, shifts);
    elseif fast && chunk == n
      entropy = lf_entropy_sweep(source, C, shifts);
    elseif fast && want_images
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
  step = 0.25;
  % First pass: views shrunk k times, -3 .. 3 at that scale; an end that
  % still holds confident minima is pushed out, up to three times as far.
  s = -3:step:3;
  E = shrunk_entropy(source, C, k, s);
  [d, w] = confident_estimates(E, s);
  for push = 1:2
    [lo, hi] = weighted_range(d, w, 0.01);
    outward = [];
    if ~isempty(lo) && lo <= s(1) + step
      outward = [outward, s(1) - (3:-step:step)]; %#ok<AGROW>
    end
    if ~isempty(hi) && hi >= s(end) - step
      outward = [outward, s(end) + (step:step:3)]; %#ok<AGROW>
    end
    if isempty(outward)
      break;
    end
    % Each shift's map is the same whatever else is swept with it: only
    % the new shifts are swept.
    [s, order] = sort([s, outward]);
    E = cat(3, E, shrunk_entropy(source, C, k, outward));
    E = E(:, :, order);
    [d, w] = confident_estimates(E, s);
  end
  clear E;
  [lo, hi] = weighted_range(d, w, 0.005);
  if isempty(lo)
    % Nothing confident: a plain frame; the first pass's reach.
    lo = k * s(1);
    hi = k * s(end);
  else
    lo = k * lo;
    hi = k * hi;
    if k > 1
      % Second pass at twice the resolution over that range and three
      % coarse steps beyond each end: thin structures, whose dips must lie
      % inside the sweep, and the ends to a finer step.
      k = k / 2;
      first = lo / k - 3 * step;
      s = first + (0:ceil((hi / k + 3 * step - first) / step)) * step;
      E = shrunk_entropy(source, C, k, s);
      [d, w] = least_entropy(E, s);
      dips = local_dips(E, s);
      clear E;
      [lo2, hi2] = weighted_range(d, w, 0.005);
      [lo2, hi2] = dip_range(dips, s, floor(rows / k) * floor(cols / k), lo2, hi2, (s(2) - s(1)) / 2);
      if ~isempty(lo2)
        lo = k * lo2;
        hi = k * hi2;
      end
    end
    % The refined coarse estimates are good to about a quarter of a step.
    lo = lo - k * step / 4;
    hi = hi + k * step / 4;
  end
  n = max(2, min(41, floor((hi - lo) / 0.05) + 1));
  shifts = linspace(lo, hi, n);
  if progress
    fprintf('  coarse pass: %d x %d pixels and %d shifts give %d shifts from %+.3f to %+.3f  (%5.1f s)\n', ...
            floor(rows / k), floor(cols / k), numel(s), n, lo, hi, toc(started));
  end
end

function [d, w] = confident_estimates(E, s)
  % The refined least entropy and its confidence of the pixels with any.
  [d, w] = least_entropy(E, s);
  d = d(w > 0);
  w = w(w > 0);
end

function dips = local_dips(E, s)
  % Per shift: how many pixels have a clear local minimum of entropy
  % there that a 4-neighbour shares, and the sum of their parabola offsets
  % (in steps). A thin structure in front of a
  % plainer surface rarely wins the least entropy at its own pixels (the
  % surface behind, seen past it by most views, scores lower), but its
  % pixels still dip at its shift, together; scattered noise dips do not.
  [rows, cols, n] = size(E);
  dips = zeros(n, 2);
  if n < 3
    return;
  end
  % Only inner shifts: at an end, a curve still falling is no dip. The
  % few local minima are found on the whole volume, their rises (the
  % lesser of the highest values within three shifts on either side,
  % above the dip) at those alone.
  P = rows * cols;
  step = diff(E, 1, 3);
  at = find(step(:, :, 1:end - 1) <= 0 & step(:, :, 2:end) >= 0) + P;
  clear step;
  slice = floor((at - 1) / P) + 1;
  e = E(at);
  left = E(at - P);
  right = E(at + P);
  for t = 2:3
    left = max(left, E(at - (slice - max(slice - t, 1)) * P));
    right = max(right, E(at + (min(slice + t, n) - slice) * P));
  end
  level = max(mean(E, 3), eps);
  clear_dip = false(rows, cols, n - 2);
  clear_dip(at(min(left, right) - e > 0.1 * level(mod(at - 1, P) + 1)) - P) = true;
  shared = false(size(clear_dip));
  shared(2:end, :, :) = clear_dip(1:end - 1, :, :);
  shared(1:end - 1, :, :) = shared(1:end - 1, :, :) | clear_dip(2:end, :, :);
  shared(:, 2:end, :) = shared(:, 2:end, :) | clear_dip(:, 1:end - 1, :);
  shared(:, 1:end - 1, :) = shared(:, 1:end - 1, :) | clear_dip(:, 2:end, :);
  keep = clear_dip & shared;
  at = find(keep) + P;
  below = E(at - P);
  above = E(at + P);
  curve = below - 2 * E(at) + above;
  offset = zeros(size(at));
  inner = curve > 0;
  offset(inner) = min(0.5, max(-0.5, 0.5 * (below(inner) - above(inner)) ./ curve(inner)));
  slice = floor((at - 1) / P) + 1;
  dips(:, 1) = accumarray(slice, 1, [n 1]);
  dips(:, 2) = accumarray(slice, offset, [n 1]);
end

function [lo, hi] = dip_range(dips, s, pixels, lo, hi, reach)
  % The range's ends from the dips of two neighbouring shifts (a surface
  % between them splits its dips) shared by at least 1.5 % of the frame:
  % a surface of 2 % of the frame that never wins the least entropy still
  % shows there, while the scattered dips beside occlusion borders stay
  % below. Each end, a mean over many pixels, is closer to its surface
  % than a tail of the coarse estimates; the estimates decide an end only
  % where they reach more than REACH beyond it (a surface that dips too
  % thinly to count).
  pair = dips(1:end - 1, 1) + dips(2:end, 1);
  held = find(pair >= 0.015 * pixels);
  if isempty(held)
    return;
  end
  both = [held(1), held(end)];
  ends = (dips(both, 1)' .* s(both) + dips(both + 1, 1)' .* s(both + 1) ...
          + (s(2) - s(1)) * (dips(both, 2) + dips(both + 1, 2))') ./ pair(both)';
  if isempty(lo) || lo >= ends(1) - reach
    lo = ends(1);
  end
  if isempty(hi) || hi <= ends(2) + reach
    hi = ends(2);
  end
end

function [d, w] = least_entropy(E, s)
  if exist('lf_cost_minimum') == 3 %#ok<EXIST>
    % The same bits as the m-code, in a fraction of its time.
    [d, w] = lf_cost_minimum(E, s, true);
  else
    [d, w] = lf_disparity_from_entropy(E, s, true);
  end
end

function E = shrunk_entropy(source, C, k, s)
  % The entropy volume of the views shrunk k times: each keeps one pixel in
  % k along each side, so a disparity d becomes d / k. One sample per block
  % rather than the block's mean: it reads a k^2-th of the light field, and
  % thin bright or dark structures keep their contrast. The module sweeps
  % them without a shrunk copy of the light field; without it, it is
  % made a strip of rows at a time: an array of the whole shrunk light
  % field would be new memory, faulted in page by page, where strips below
  % the allocator's threshold for fresh mappings (32 MiB) reuse the memory
  % the last one freed. Each strip carries the rows its outer views reach
  % at the largest shift, so its inner rows get the bits the whole frame
  % gives them.
  if exist('lf_shrunk_entropy_sweep') == 3 %#ok<EXIST>
    E = lf_shrunk_entropy_sweep(source, C, k, s);
    return;
  end
  if k == 1
    E = entropy_volume(source, C, s, false, false);
    return;
  end
  rows = floor(size(source, 1) / C / k);
  cols = floor(size(source, 2) / C / k);
  reach = ceil(max(abs(s)) * (C - 1) / 2) + 1;
  height = max(reach, floor(30e6 / (C * C * cols * 3 * 8)) - 2 * reach);
  % Strips of even height: a short last strip would cost a whole call's
  % setup for a few rows.
  height = ceil(rows / ceil(rows / height));
  pick = @(first, n) reshape(bsxfun(@plus, (1:C)', (first - 1 + (0:n - 1)) * k * C), 1, []);
  columns = pick(1, cols);
  E = zeros(rows, cols, numel(s));
  for first = 1:height:rows
    last = min(first + height - 1, rows);
    top = max(1, first - reach);
    bottom = min(rows, last + reach);
    strip = entropy_volume(source(pick(top, bottom - top + 1), columns, :), C, s, false, false);
    E(first:last, :, :) = strip(first - top + 1:last - top + 1, :, :);
  end
end

function [lo, hi] = weighted_range(d, w, tail)
  % The tails trimmed by weight: a surface keeps its place by how much
  % trusted area it has, and scattered untrusted minima are cut.
  lo = [];
  hi = [];
  if isempty(d)
    return;
  end
  [d, order] = sort(d(:));
  w = cumsum(w(order));
  lo = d(find(w >= tail * w(end), 1));
  hi = d(find(w >= (1 - tail) * w(end), 1));
end
