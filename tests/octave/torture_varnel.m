## How the torture test calls varnel(cols, rows, C, ignored, ignored, source, map)
## and what it expects: signed 32-bit sizes (C <= 0 and empty grids are valid
## calls), samples whose single-precision value lies strictly between -0.5
## and 255.5, and the literal oracle.
function d = torture_varnel ()
  d.name = "varnel";
  d.oracle = "varnel_oracle";
  d.roles = {"size32", "size32", "size32", "ignored", "ignored", "source", "written"};
  d.draw = @draw;
  d.needed = @needed;
  d.shapes = @shapes;
  d.rules = @rules;
  d.samples = @(n) entropy_samples (n, -0.5, 255.5);
endfunction

function p = draw ()
  C = randi ([1 4]);
  if (rand () < 0.1)
    C = -randi ([0 3]);
  endif
  rows = randi ([0 5]);
  cols = randi ([0 5]);
  if (rand () < 0.05)
    rows = -rows;
  endif
  p = [cols, rows, C, NaN, NaN, NaN, NaN];
endfunction

function n = needed (q)
  [cols, rows, C] = deal (max (q(1), 0), max (q(2), 0), max (q(3), 0));
  n = zeros (1, 7);
  n(6) = rows * C * cols * C * 3;
  n(7) = rows * cols;
endfunction

function s = shapes (q)
  [cols, rows, C] = deal (max (q(1), 0), max (q(2), 0), max (q(3), 0));
  s = cell (1, 7);
  s{6} = [rows * C, cols * C, 3];
  s{7} = [rows, cols];
endfunction

## The samples of every pixel's block, that is the leading elements of the
## source, must each bin; nothing is read when a size is not positive.
function kinds = rules (q, args, arrays_ok)
  kinds = {};
  n = needed (q)(6);
  if (arrays_ok && n > 0)
    f = single (args{6}(1:n));
    if (! all (f > -0.5 & f < 255.5))
      kinds{end+1} = "sampleOutOfRange";
    endif
  endif
endfunction
