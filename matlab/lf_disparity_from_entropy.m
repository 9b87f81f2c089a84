function [disparity, confidence] = lf_disparity_from_entropy(entropy, shifts, refine)
%LF_DISPARITY_FROM_ENTROPY  Disparity and its confidence from an entropy volume.
%   [DISPARITY, CONFIDENCE] = LF_DISPARITY_FROM_ENTROPY(E, SHIFTS) takes the
%   rows x cols x numel(SHIFTS) entropy maps E of a sweep (as
%   LF_DISPARITY_SWEEP returns them) and gives, for every pixel, the shift of
%   least entropy refined by a parabola through it and its two neighbours in
%   shift order (clamped to half a step either side; unchanged at the ends of
%   the range, at three equal entropies and between repeated shifts), and the
%   confidence of that minimum, 0..1, as LF_DISPARITY_SWEEP defines it.
%
%   LF_DISPARITY_FROM_ENTROPY(E, SHIFTS, false) gives the plain shift of
%   least entropy instead, the first such shift in SHIFTS where several tie;
%   the confidence is the same. SHIFTS need not be sorted or evenly spaced.
%
%   Example
%     [~, ~, E] = lf_disparity_sweep(R, 9, linspace(-2, 2, 41));
%     plain = lf_disparity_from_entropy(E, linspace(-2, 2, 41), false);
%
%   See also LF_DISPARITY_SWEEP.

  if nargin < 3
    refine = true;
  end
  n = numel(shifts);
  if ~(isnumeric(entropy) && isreal(entropy) && ndims(entropy) <= 3 && size(entropy, 3) == n && n >= 1)
    error('lf_disparity_from_entropy:badEntropy', ...
          'lf_disparity_from_entropy: E must be rows x cols x numel(SHIFTS) = %d, got size %s.', ...
          n, mat2str(size(entropy)));
  end
  shifts = double(shifts(:)');
  [rows, cols, ~] = size(entropy);
  [least, best] = min(entropy, [], 3);
  disparity = reshape(shifts(best), rows, cols);

  [sorted, order] = sort(shifts);
  position(order) = 1:n;
  % Indexing a row by a column gives a row: every map is reshaped so that a
  % single-column or single-row map keeps its shape.
  j = reshape(position(best), rows, cols);
  plane = rows * cols;
  pixel = reshape(1:plane, rows, cols);
  at = @(k) entropy(pixel + reshape(order(k) - 1, rows, cols) * plane);

  if refine && n >= 3
    inner = j > 1 & j < n;
    jj = min(max(j, 2), n - 1);
    e0 = at(jj - 1);
    e2 = at(jj + 1);
    x1 = disparity;
    h0 = x1 - reshape(sorted(jj - 1), rows, cols);
    h2 = reshape(sorted(jj + 1), rows, cols) - x1;
    % The vertex of the parabola through (x1 - h0, e0), (x1, least),
    % (x1 + h2, e2); least is the smallest of the three, so den <= 0.
    num = h0 .^ 2 .* (least - e2) - h2 .^ 2 .* (least - e0);
    den = h0 .* (least - e2) + h2 .* (least - e0);
    use = inner & h0 > 0 & h2 > 0 & den < 0;
    vertex = x1(use) - 0.5 * num(use) ./ den(use);
    disparity(use) = min(max(vertex, x1(use) - h0(use) / 2), x1(use) + h2(use) / 2);
  end

  if nargout > 1
    mean_e = mean(entropy, 3);
    rival = mean_e;
    here = entropy(:, :, order(1));
    left = inf(rows, cols);
    for k = 1:n
      if k < n
        right = entropy(:, :, order(k + 1));
      else
        right = inf(rows, cols);
      end
      dip = here <= left & here <= right & abs(k - j) > 1;
      rival(dip) = min(rival(dip), here(dip));
      left = here;
      here = right;
    end
    drop = mean_e - least;
    confidence = zeros(rows, cols);
    ok = mean_e > 0 & drop > 0;
    confidence(ok) = drop(ok) ./ mean_e(ok) .* min(1, (rival(ok) - least(ok)) ./ drop(ok));
  end
end
