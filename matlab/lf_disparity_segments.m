function disparity = lf_disparity_segments(disparity, confidence, guide, entropy, shifts, varargin)
%LF_DISPARITY_SEGMENTS  Plain regions of a disparity map from their region's mean entropy.
%   S = LF_DISPARITY_SEGMENTS(D, CONF, GUIDE, E, SHIFTS) takes the disparity
%   D and confidence CONF (rows x cols) estimated from the entropy maps E
%   (rows x cols x numel(SHIFTS), in nats, as LF_DISPARITY_SWEEP returns
%   them) and gives plain regions the depth of their whole region. A
%   pixel is plain where the grey GUIDE (rows x cols, or the centre view,
%   rows x cols x planes, whose planes are averaged; intensities 0..255)
%   varies over 7 x 7 pixels by no more than 2.25 times the noise variance
%   measured at that brightness from its finest differences. Plain pixels
%   are split into 4-connected regions (on 2 x 2 blocks wholly plain); each
%   region of at least 'Size' of the frame takes, at its pixels whose
%   confidence is below 'Confidence', the least (refined as 'Refine' says,
%   as LF_COST_MINIMUM does) of the entropies averaged over the region and
%   a band of 4 pixels around it of the region's colour (within three
%   noise deviations).
%
%   Why: a plain pixel's own entropies are its noise's and dip wherever
%   the refocusing's interpolation averages most, whatever its depth; the
%   region's mean dips at its depth, which its border with texture decides.
%   A region gets one disparity: slanted or curved plain surfaces come out
%   flat, and a region whose border is itself ambiguous is wrong as a whole.
%
%   Options, as name, value pairs:
%     'Size'        the least region, as a share of the frame, 0..1 (0.003)
%     'Confidence'  the confidence below which a pixel takes its region's
%                   disparity, 0..1 (0.1); 0 leaves every pixel as it is
%     'Refine'      true (default) or false, as for LF_DISPARITY_SWEEP
%
%   Needs the module LF_COST_MINIMUM on the path. Working memory: a few
%   rows x cols maps and one curve per region.
%
%   Example
%     [d, conf, E, ~, info] = lf_disparity_sweep(R, 9, [], 'Segments', false);
%     s = lf_disparity_segments(d, conf, centre, E, info.shifts);
%
%   See also LF_DISPARITY_SWEEP, LF_COST_MINIMUM, LF_DISPARITY_SMOOTH.

  opt = options(varargin);
  [rows, cols, n] = size(entropy);
  if ~(isnumeric(guide) && isreal(guide) && size(guide, 1) == rows && size(guide, 2) == cols ...
       && ndims(guide) <= 3 && isequal(size(disparity), [rows cols]) && isequal(size(confidence), [rows cols]) ...
       && numel(shifts) == n)
    error('lf_disparity_segments:badSize', ...
          ['lf_disparity_segments: D, CONF and GUIDE must be rows x cols (GUIDE may have planes) and E ' ...
           'rows x cols x numel(SHIFTS), got D %s, CONF %s, GUIDE %s, E %s and %d shifts.'], ...
          mat2str(size(disparity)), mat2str(size(confidence)), mat2str(size(guide)), mat2str(size(entropy)), ...
          numel(shifts));
  end
  grey = sum(double(guide), 3) / size(guide, 3);
  pixels = rows * cols;
  if rows < 4 || cols < 4
    return;
  end
  [noise, plain] = plain_pixels(grey);
  % Labelled on 2 x 2 blocks wholly plain: a quarter of the pixels, and
  % half as many passes for a label to cross a region.
  half = [floor(rows / 2), floor(cols / 2)];
  top = 1:2:2 * half(1);
  left = 1:2:2 * half(2);
  labels = kron(components(plain(top, left) & plain(top + 1, left) & plain(top, left + 1) ...
                           & plain(top + 1, left + 1)), ones(2));
  labels(rows, cols) = 0;
  count = accumarray(labels(labels > 0), 1);
  kept = find(count >= max(1, opt.size * pixels));
  if isempty(kept)
    return;
  end
  renumber = zeros(numel(count), 1);
  renumber(kept) = 1:numel(kept);
  labels(labels > 0) = renumber(labels(labels > 0));
  regions = numel(kept);
  % A plain interior holds no depth: its entropies are the noise's, least
  % where the interpolation averages most, whatever the depth. Where the
  % region meets texture they do dip at its depth; so each curve is the
  % mean over the region and a band around it of the pixels of its colour
  % (within 3 noise deviations), not across into other surfaces.
  reach = 4;
  % Each region's bounding box from one pass over the labels, not one per
  % region (a frame of many plain regions would take that many passes).
  [r, c] = find(labels > 0);
  region = labels(labels > 0);
  bounds = [accumarray(region, r, [regions 1], @min), accumarray(region, r, [regions 1], @max), ...
            accumarray(region, c, [regions 1], @min), accumarray(region, c, [regions 1], @max)];
  members = cell(regions, 1);
  for k = 1:regions
    rr = max(1, bounds(k, 1) - reach):min(rows, bounds(k, 2) + reach);
    cc = max(1, bounds(k, 3) - reach):min(cols, bounds(k, 4) + reach);
    inside = labels(rr, cc) == k;
    band = conv2(ones(2 * reach + 1, 1), ones(1, 2 * reach + 1), double(inside), 'same') > 0.5;
    g = grey(rr, cc);
    v = noise(rr, cc);
    band = band & abs(g - mean(g(inside))) <= 3 * sqrt(mean(v(inside)));
    if ~any(band(:))
      band = inside;
    end
    [r, c] = find(band);
    members{k} = (cc(c(:)) - 1)' * rows + rr(r(:))';
  end
  sizes = cellfun(@numel, members);
  owner = repelem((1:regions)', sizes);
  % One product sums every region's curve without a copy of its slices.
  sums = sparse(vertcat(members{:}), owner, 1, pixels, regions)' * reshape(entropy, pixels, n);
  curves = full(sums) ./ repmat(sizes, 1, n);
  d = lf_cost_minimum(reshape(curves, regions, 1, n), shifts, opt.refine);
  take = labels > 0 & confidence < opt.confidence;
  disparity(take) = d(labels(take));
end

function [noise, plain] = plain_pixels(grey)
  % Per pixel the noise variance expected at its brightness, and whether
  % its 7 x 7 neighbourhood varies no more than 2.25 times that.
  [rows, cols] = size(grey);
  noise = zeros(rows, cols);
  plain = false(rows, cols);
  % The centre less the mean of its 4 neighbours has 1.25 times the
  % variance of white noise; the median of its square, 0.4549 times that
  % for a normal law, is barely moved by edges and texture, a minority.
  inner = grey(2:end - 1, 2:end - 1);
  residual = inner - (grey(1:end - 2, 2:end - 1) + grey(3:end, 2:end - 1) ...
                      + grey(2:end - 1, 1:end - 2) + grey(2:end - 1, 3:end)) / 4;
  band = min(16, max(1, floor(inner(:) / 16) + 1));
  % Squares in order, then stably by band: each band's squares in order.
  [squares, order] = sort(residual(:) .^ 2);
  [~, grouped] = sort(band(order));
  squares = squares(grouped);
  count = accumarray(band, 1, [16 1]);
  first = cumsum(count) - count + 1;
  held = find(count >= 50);
  if isempty(held)
    return;
  end
  middle = (squares(first(held) + floor((count(held) - 1) / 2)) + squares(first(held) + floor(count(held) / 2))) / 2;
  % Between band centres linear; beyond the outer bands held, constant.
  variance = middle / 0.4549 / 1.25;
  table = repmat(variance(1), 16, 1);
  if numel(held) > 1
    centres = (held - 0.5) * 16;
    table = interp1(centres, variance, min(max((0.5:16)' * 16, centres(1)), centres(end)));
  end
  position = min(max(grey / 16 + 0.5, 1), 16);
  below = min(floor(position), 15);
  part = position - below;
  noise = table(below) .* (1 - part) + table(below + 1) .* part;
  box = @(x) conv2(ones(7, 1), ones(1, 7), x, 'same');
  area = conv2(ones(rows, 1), ones(7, 1), 'same') * conv2(ones(1, cols), ones(1, 7), 'same');
  average = box(grey) ./ area;
  plain = box(grey .^ 2) ./ area - average .^ 2 <= 2.25 * noise;
end

function labels = components(mask)
  % 4-connected components, each labelled by its least linear index: the
  % lesser label of each joined pair spreads to both, then every label
  % takes its own label's label (so labels travel far in few passes),
  % until nothing changes.
  labels = zeros(size(mask));
  labels(mask) = find(mask);
  down = mask(1:end - 1, :) & mask(2:end, :);
  across = mask(:, 1:end - 1) & mask(:, 2:end);
  while true
    before = labels;
    low = min(labels(1:end - 1, :), labels(2:end, :));
    part = labels(1:end - 1, :);
    part(down) = low(down);
    labels(1:end - 1, :) = part;
    part = labels(2:end, :);
    part(down) = low(down);
    labels(2:end, :) = part;
    low = min(labels(:, 1:end - 1), labels(:, 2:end));
    part = labels(:, 1:end - 1);
    part(across) = low(across);
    labels(:, 1:end - 1) = part;
    part = labels(:, 2:end);
    part(across) = low(across);
    labels(:, 2:end) = part;
    labels(mask) = labels(labels(mask));
    if isequal(labels, before)
      break;
    end
  end
end

function opt = options(args)
  opt = struct('size', 0.003, 'confidence', 0.1, 'refine', true);
  for i = 1:2:numel(args)
    name = args{i};
    if isa(name, 'string') && isscalar(name)
      name = char(name);
    end
    if ~ischar(name) || ~isfield(opt, lower(name)) || i + 1 > numel(args)
      error('lf_disparity_segments:badOption', ...
            'lf_disparity_segments: options are ''Size'', ''Confidence'' and ''Refine'', each with a value.');
    end
    value = args{i + 1};
    key = lower(name);
    ok = (isnumeric(value) || islogical(value)) && isreal(value) && isscalar(value);
    if strcmp(key, 'refine') && ~(ok && (value == 0 || value == 1))
      error('lf_disparity_segments:badOption', 'lf_disparity_segments: option ''%s'' must be true or false.', name);
    elseif ~strcmp(key, 'refine') && ~(ok && value >= 0 && value <= 1)
      error('lf_disparity_segments:badOption', 'lf_disparity_segments: option ''%s'' must be a number in 0..1.', name);
    end
    opt.(key) = double(value);
  end
end
