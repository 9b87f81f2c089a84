function focused = lf_all_in_focus(images, shifts, disparity)
%LF_ALL_IN_FOCUS  An image sharp everywhere, from refocused images and a disparity map.
%   F = LF_ALL_IN_FOCUS(IMAGES, SHIFTS, D) takes the refocused images of a
%   sweep (rows x cols x planes x numel(SHIFTS), as the fourth output of
%   LF_DISPARITY_SWEEP) and a disparity map D (rows x cols) and gives, at
%   every pixel, the refocused image at the pixel's own disparity: between
%   the two shifts s1 <= D < s2 nearest to it,
%
%       F = (1 - t) * I(s1) + t * I(s2),   t = (D - s1) / (s2 - s1),
%
%   and beyond the first or last shift that shift's image. A NaN
%   disparity gives NaN. SHIFTS need not be sorted; a repeated shift's
%   images are the same, so either serves.
%
%   Example
%     [d, conf, ~, images, info] = lf_disparity_sweep(R, 9);
%     imwrite(uint8(lf_all_in_focus(images, info.shifts, d)), 'all_in_focus.png');
%
%   See also LF_DISPARITY_SWEEP.

  if ~(isnumeric(images) && isreal(images) && ndims(images) <= 4 && ~isempty(images))
    error('lf_all_in_focus:badImages', ...
          'lf_all_in_focus: IMAGES must be a real rows x cols x planes x shifts array, got a %s array of size %s.', ...
          class(images), mat2str(size(images)));
  end
  [rows, cols, planes, n] = size(images);
  if ~(isnumeric(shifts) && isreal(shifts) && isvector(shifts) && numel(shifts) == n && all(isfinite(shifts)))
    error('lf_all_in_focus:badShifts', ...
          'lf_all_in_focus: SHIFTS must be %d finite numbers, one per image, got a %s array of size %s.', ...
          n, class(shifts), mat2str(size(shifts)));
  end
  if ~(isnumeric(disparity) && isreal(disparity) && isequal(size(disparity), [rows cols]))
    error('lf_all_in_focus:badDisparity', ...
          'lf_all_in_focus: D must be a real rows x cols = %s map, got a %s array of size %s.', ...
          mat2str([rows cols]), class(disparity), mat2str(size(disparity)));
  end
  [sorted, order] = sort(double(shifts(:)'));
  d = double(disparity(:));
  % j: the last shift at or below d (the first where d lies below them all).
  j = ones(rows * cols, 1);
  for k = 2:n - 1
    j = j + (d >= sorted(k));
  end
  if n > 1
    low = sorted(j)';
    gap = sorted(j + 1)' - low;
    t = zeros(size(d));
    spaced = gap > 0;
    t(spaced) = min(max((d(spaced) - low(spaced)) ./ gap(spaced), 0), 1);
    upper = j + 1;
  else
    t = zeros(size(d));
    upper = j;
  end
  t(isnan(d)) = NaN;
  pixel = (1:rows * cols)';
  stride = rows * cols * planes;
  focused = zeros(rows, cols, planes);
  for p = 1:planes
    at = pixel + (p - 1) * rows * cols;
    a = double(images(at + (order(j)' - 1) * stride));
    b = double(images(at + (order(upper)' - 1) * stride));
    focused(:, :, p) = reshape((1 - t) .* a + t .* b, rows, cols);
  end
end
