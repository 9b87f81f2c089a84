## n samples for an entropy module whose bins take the single-precision values
## strictly between low and high: whole numbers, fractions, values at and
## just inside both ends, and now and then values no bin takes (the ends
## themselves, values that narrow onto them, beyond, NaN, infinities).
function s = entropy_samples (n, low, high)
  s = randi ([0 255], n, 1);
  if (n == 0)
    return;
  endif
  mode = randi (4);
  if (mode == 2)
    s = low + (high - low) * (0.001 + 0.998 * rand (n, 1));
  elseif (mode == 3)
    k = randi ([0 254], n, 1);
    edges = [k + 0.5, k + 0.5 - 2^-30, k + 1 - 1e-10, ...
             repmat([double(single(low) + eps(single(low))), double(single(high) - eps(single(high)))], n, 1)];
    s = edges(sub2ind (size (edges), (1:n)', randi (5, n, 1)));
  endif
  if (rand () < 0.15)
    bad = [low, high, low - 1e-12, high - 1e-12, high + 1, low - 1, NaN, Inf, -Inf, 1e300];
    s(randi (n)) = bad(randi (numel (bad)));
  endif
endfunction
