function s = lf_disparity_score(d, gt, varargin)
%LF_DISPARITY_SCORE  BadPix and MSE of a disparity map against its ground truth.
%   S = LF_DISPARITY_SCORE(D, GT) compares the disparity map D with the true
%   disparity GT (both rows x cols) over every pixel whose truth is finite,
%   the border included, with the error e = D - GT:
%     S.badpix07  100 * (number of pixels with |e| > 0.07) / N, in percent
%     S.badpix03  the same with 0.03
%     S.badpix01  the same with 0.01
%     S.mse100    100 * sum(e.^2) / N
%     S.pixels    N, the pixels scored
%   A pixel whose estimate is NaN or infinite counts as bad at every
%   threshold and makes S.mse100 NaN or Inf: nothing is left out quietly.
%
%   S = LF_DISPARITY_SCORE(D, GT, MASK) with a logical rows x cols MASK also
%   gives S.mask, the same fields over the pixels where MASK is true.
%
%   S = LF_DISPARITY_SCORE(D, GT, CENTRE) with the centre view (rows x cols
%   x 3 or x 1, intensities 0..255) also gives
%     S.edges  over the pixels within 3 pixels (in rows and columns) of a
%              depth edge: two 4-neighbours whose truths differ by more
%              than 0.2;
%     S.plain  over the low-texture pixels away from those edges: the
%              standard deviation of the grey level (the mean of the
%              planes) in the 7 x 7 window around the pixel (clipped at the
%              border) below 4.
%   Both may be given as name, value pairs: 'Mask', MASK, 'Centre', CENTRE.
%   A region without pixels scores NaN.
%
%   Example
%     [views, truth] = lf_synthetic_scene(256, 256, 9, 'realistic');
%     [d, conf] = lf_disparity_sweep(lf_views_to_remapped(views), 9);
%     s = lf_disparity_score(d, truth, squeeze(views(5, 5, :, :, :)));
%     fprintf('BadPix(0.07) %.2f %%, %.2f %% near depth edges\n', s.badpix07, s.edges.badpix07);
%
%   See also LF_DISPARITY_SWEEP, LF_SYNTHETIC_SCENE.

  if ~(isnumeric(d) && isreal(d) && ismatrix(d))
    error('lf_disparity_score:badMap', 'lf_disparity_score: D must be a real rows x cols array, got a %s array of size %s.', ...
          class(d), mat2str(size(d)));
  end
  if ~(isnumeric(gt) && isreal(gt) && isequal(size(gt), size(d)))
    error('lf_disparity_score:badTruth', 'lf_disparity_score: GT must be a real array of the size of D, %s, got a %s array of size %s.', ...
          mat2str(size(d)), class(gt), mat2str(size(gt)));
  end
  mask = [];
  centre = [];
  if ~isempty(varargin) && ~ischar(varargin{1}) && ~isa(varargin{1}, 'string')
    if islogical(varargin{1})
      mask = varargin{1};
    else
      centre = varargin{1};
    end
    varargin = varargin(2:end);
  end
  for i = 1:2:numel(varargin)
    name = varargin{i};
    if isa(name, 'string')
      name = char(name);
    end
    if ~ischar(name) || i + 1 > numel(varargin)
      error('lf_disparity_score:badOption', 'lf_disparity_score: options come as name, value pairs.');
    end
    switch lower(name)
      case 'mask'
        mask = varargin{i + 1};
      case 'centre'
        centre = varargin{i + 1};
      otherwise
        error('lf_disparity_score:badOption', 'lf_disparity_score: unknown option ''%s''.', name);
    end
  end
  [rows, cols] = size(d);
  if ~isempty(mask) && ~((islogical(mask) || isnumeric(mask)) && isequal(size(mask), [rows cols]))
    error('lf_disparity_score:badMask', 'lf_disparity_score: MASK must be rows x cols = %s, got a %s array of size %s.', ...
          mat2str([rows cols]), class(mask), mat2str(size(mask)));
  end
  if ~isempty(centre) && ~(isnumeric(centre) && isreal(centre) && size(centre, 1) == rows ...
                           && size(centre, 2) == cols && ndims(centre) <= 3 && any(size(centre, 3) == [1 3]))
    error('lf_disparity_score:badCentre', ...
          'lf_disparity_score: CENTRE must be a real rows x cols x 3 (or x 1) image with rows x cols = %s, got a %s array of size %s.', ...
          mat2str([rows cols]), class(centre), mat2str(size(centre)));
  end

  e = double(d) - double(gt);
  scored = isfinite(gt);
  s = scores(e, scored);
  if ~isempty(mask)
    s.mask = scores(e, scored & logical(mask));
  end
  if ~isempty(centre)
    t = double(gt);
    jump = false(rows, cols);
    across = abs(diff(t, 1, 1)) > 0.2;
    jump(1:end - 1, :) = across;
    jump(2:end, :) = jump(2:end, :) | across;
    across = abs(diff(t, 1, 2)) > 0.2;
    jump(:, 1:end - 1) = jump(:, 1:end - 1) | across;
    jump(:, 2:end) = jump(:, 2:end) | across;
    edges = box_sum(double(jump), 3) > 0;
    grey = mean(double(centre), 3);
    count = box_sum(ones(rows, cols), 3);
    mean_grey = box_sum(grey, 3) ./ count;
    variance = max(box_sum(grey .^ 2, 3) ./ count - mean_grey .^ 2, 0);
    s.edges = scores(e, scored & edges);
    s.plain = scores(e, scored & ~edges & variance < 16);
  end
end

function s = scores(e, in)
  n = nnz(in);
  e = e(in);
  bad = @(t) 100 * sum(~(abs(e) <= t)) / n;
  s = struct('badpix07', bad(0.07), 'badpix03', bad(0.03), 'badpix01', bad(0.01), ...
             'mse100', 100 * sum(e .^ 2) / n, 'pixels', n);
end

function b = box_sum(x, r)
  % Sums over the (2r+1) x (2r+1) window clipped at the border, by running
  % sums along each dimension.
  b = window_sum(window_sum(x, r)', r)';
end

function y = window_sum(x, r)
  n = size(x, 1);
  c = [zeros(1, size(x, 2)); cumsum(x, 1)];
  hi = min((1:n) + r, n) + 1;
  lo = max((1:n) - r, 1);
  y = c(hi, :) - c(lo, :);
end
