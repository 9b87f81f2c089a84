% E = angular_entropy_reference(S, rows, cols, C, rule)
% The per-plane angular entropies of a remapped light field, step by step in
% single precision: rows x cols x 3 singles. rule is 'round' (varnel) or
% 'truncate' (tressik). Vectorised over pixels only; every single-precision
% operation is the one of the definition, in its order.
function E = angular_entropy_reference(S, rows, cols, C, rule)
  E = zeros(rows, cols, 3, 'single');
  if rows <= 0 || cols <= 0
    return;
  end
  block = single(int32(C) * int32(C));
  n = rows * cols;
  for k = 1:3
    counts = zeros(256, n);
    if C > 0
      X = single(S(1:rows * C, 1:cols * C, k));
      if strcmp(rule, 'round')
        B = round(X);  % half away from zero, like roundf
      else
        B = fix(X);
      end
      [i, j] = ndgrid(0:rows * C - 1, 0:cols * C - 1);
      pixel = floor(i / C) + floor(j / C) * rows + 1;
      counts = accumarray([double(B(:)) + 1, pixel(:)], 1, [256, n]);
    end
    % Whole counts below 2^24: the same as adding 1.0 in single precision.
    P = single(counts) ./ block;
    s = zeros(1, n, 'single');
    for b = 1:256
      p = P(b, :);
      inside = p > 0;
      s(inside) = s(inside) + log(p(inside)) .* p(inside);
    end
    E(:, :, k) = reshape(s * single(-1), rows, cols);
  end
end
