## How the torture test calls olmarin(cols, rows, C, D, source, destination, image, alpha)
## and what it expects: the roles of the inputs, the sizes worth drawing, the
## elements each array needs, the rule C >= 2D + 1, and the literal oracle.
function d = torture_olmarin ()
  d.name = "olmarin";
  d.oracle = "olmarin_oracle";
  d.roles = {"size16", "size16", "size16", "size16", "source", "written", "written", "real"};
  d.draw = @draw;
  d.needed = @needed;
  d.shapes = @shapes;
  d.rules = @rules;
  d.samples = @samples;
endfunction

## Intended values of the scalar inputs (NaN for the arrays); C < 2D + 1 now
## and then, and the shift factors that matter: zero, fractions of both signs,
## whole pixels, far beyond the grid, not finite.
function p = draw ()
  D = randi ([0 3]);
  C = 2 * D + 1 + randi ([0 2]) * (rand () < 0.3);
  if (rand () < 0.05)
    C = max (0, 2 * D - randi ([0 1]));
  endif
  alphas = [0, -0, 0.37, -1.25, 2, -3, 3e8, -3e8, 1e300, -1e300, NaN, Inf, -Inf, 2147483647.5, ...
            realmin / 4, 0.5, -0.5];
  if (rand () < 0.5)
    alpha = (rand () - 0.5) * 8;
  else
    alpha = alphas(randi (numel (alphas)));
  endif
  p = [randi([0 6]), randi([0 6]), C, D, NaN, NaN, NaN, alpha];
endfunction

## Elements each array input needs, for the converted scalars q.
function n = needed (q)
  n = zeros (1, 8);
  n([5 6]) = q(2) * q(3) * q(1) * q(3) * 3;
  n(7) = q(2) * q(1) * 3;
endfunction

## The arrays' natural sizes: the caller's usual (rows*C) x (cols*C) x 3.
function s = shapes (q)
  s = cell (1, 8);
  s([5 6]) = {[q(2) * q(3), q(1) * q(3), 3]};
  s{7} = [q(2), q(1), 3];
endfunction

## Violations beyond classes, counts and sharing, given valid scalars.
function kinds = rules (q, args, arrays_ok)
  kinds = {};
  if (q(3) < 2 * q(4) + 1)
    kinds{end+1} = "angularSizeTooSmall";
  endif
endfunction

## Samples: any doubles, with now and then a NaN, an infinity or a negative zero.
function s = samples (n)
  s = rand (n, 1) * 300 - 2;
  if (n > 0 && rand () < 0.2)
    k = randi (n, 1, 3);
    s(k) = [NaN, Inf, -0];
  endif
endfunction
