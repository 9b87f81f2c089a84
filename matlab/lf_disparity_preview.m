function [rgb, limits] = lf_disparity_preview(map, limits)
%LF_DISPARITY_PREVIEW  A colour picture of a disparity (or any) map, scaled to its range.
%   [RGB, LIMITS] = LF_DISPARITY_PREVIEW(MAP) maps the real rows x cols MAP
%   onto a perceptually even colour scale from dark blue (its least finite
%   value) to yellow (its greatest), and returns a uint8 rows x cols x 3
%   picture for IMWRITE, and LIMITS = [least greatest], so that nothing is
%   clipped whatever the scene's range. A constant map is drawn in the
%   middle colour; NaN is black, -Inf and Inf take the ends of the scale.
%
%   LF_DISPARITY_PREVIEW(MAP, LIMITS) uses the given [low high] instead,
%   clipping values outside it (to compare several maps on one scale).
%
%   Example
%     [d, conf] = lf_disparity_sweep(R, 9, linspace(-2, 2, 41));
%     [picture, range] = lf_disparity_preview(d);
%     imwrite(picture, 'disparity.png');
%     imwrite(lf_disparity_preview(conf, [0 1]), 'confidence.png');
%
%   See also LF_DISPARITY_SWEEP, LF_WRITE_PFM.

  if ~(isnumeric(map) || islogical(map)) || ~isreal(map) || ~ismatrix(map)
    error('lf_disparity_preview:badMap', ...
          'lf_disparity_preview: MAP must be a real rows x cols array, got a %s array of size %s.', ...
          class(map), mat2str(size(map)));
  end
  map = double(map);
  if nargin < 2 || isempty(limits)
    finite = map(isfinite(map));
    if isempty(finite)
      limits = [0 0];
    else
      limits = [min(finite) max(finite)];
    end
  elseif ~(isnumeric(limits) && isreal(limits) && numel(limits) == 2 && all(isfinite(limits)) && limits(1) <= limits(2))
    error('lf_disparity_preview:badLimits', 'lf_disparity_preview: LIMITS must be [low high] with low <= high.');
  end
  limits = double(limits(:)');
  if limits(2) > limits(1)
    t = (map - limits(1)) / (limits(2) - limits(1));
  else
    t = 0.5 * ones(size(map));
    t(map < limits(1)) = 0;
    t(map > limits(1)) = 1;
  end
  t = min(max(t, 0), 1);
  % Eleven samples of a perceptually even blue-green-yellow scale.
  anchors = [0.267 0.005 0.329; 0.283 0.141 0.458; 0.254 0.265 0.530; 0.207 0.372 0.553; ...
             0.164 0.471 0.558; 0.128 0.567 0.551; 0.135 0.659 0.518; 0.267 0.749 0.441; ...
             0.478 0.821 0.318; 0.741 0.873 0.150; 0.993 0.906 0.144];
  position = t * (size(anchors, 1) - 1);
  low = min(floor(position), size(anchors, 1) - 2);
  low(isnan(low)) = 0;
  f = position - low;
  rgb = zeros([size(map), 3]);
  for k = 1:3
    plane = anchors(low + 1, k) .* (1 - f(:)) + anchors(low + 2, k) .* f(:);
    plane(isnan(map(:))) = 0;
    rgb(:, :, k) = reshape(plane, size(map));
  end
  rgb = uint8(round(255 * rgb));
end
