function [T, I] = refocus_literal(cols, rows, C, D, S, T, I, alpha)
  % The refocus steps in the Octave language, one double operation at a time
  % in the module's order, vectorised over pixels only: the oracle that the
  % module must match bit for bit. Returns the updated T and I.
  H = rows * C;
  P = H * cols * C;
  sums = zeros(rows, cols, 3);
  [cc, rr] = meshgrid(0:cols-1, 0:rows-1);
  minus_alpha = alpha * -1.0;
  for u = -D:D
    for v = -D:D
      pc = u * minus_alpha + cc;
      pr = v * minus_alpha + rr;
      fc = floor(pc);
      fr = floor(pr);
      c0 = clamp_index(fc, cols);
      c1 = clamp_index(fc + 1.0, cols);
      r0 = clamp_index(fr, rows);
      r1 = clamp_index(fr + 1.0, rows);
      wr0 = 1.0 - (pr - fr);
      wr1 = 1.0 - wr0;
      wc0 = 1.0 - (pc - fc);
      wc1 = 1.0 - wc0;
      for k = 0:2
        at = @(i, j) (i * C + D + v) + (j * C + D + u) * H + k * P + 1;
        V = (((wr0 .* wc0) .* S(at(r0, c0)) + (wr1 .* wc0) .* S(at(r1, c0))) ...
             + (wr0 .* wc1) .* S(at(r0, c1))) + (wr1 .* wc1) .* S(at(r1, c1));
        T(at(rr, cc)) = V;
        sums(:, :, k + 1) = sums(:, :, k + 1) + V;
      end
    end
  end
  if rows > 0 && cols > 0
    I(1:rows * cols * 3) = sums(:) / (C * C);
  end
end

function i = clamp_index(f, bound)
  % Truncation toward zero, then clamping; NaN takes the first index.
  i = fix(f);
  i(isnan(i)) = 0;
  i(i < 0) = 0;
  i(i >= bound) = bound - 1;
end
