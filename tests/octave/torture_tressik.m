## How the torture test calls tressik(cols, rows, C, ignored, source, ignored,
## map0, map1, map2) and what it expects: 16-bit sizes, samples whose
## single-precision value lies strictly between -1 and 256, three maps that
## share nothing, and the literal oracle.
function d = torture_tressik ()
  d.name = "tressik";
  d.oracle = "tressik_oracle";
  d.roles = {"size16", "size16", "size16", "ignored", "source", "ignored", "written", "written", "written"};
  d.draw = @() [randi([0 5]), randi([0 5]), randi([0 4]), NaN(1, 6)];
  d.needed = @needed;
  d.shapes = @shapes;
  d.rules = @rules;
  d.samples = @(n) entropy_samples (n, -1, 256);
endfunction

function n = needed (q)
  n = zeros (1, 9);
  n(5) = q(2) * q(3) * q(1) * q(3) * 3;
  n(7:9) = q(2) * q(1);
endfunction

function s = shapes (q)
  s = cell (1, 9);
  s{5} = [q(2) * q(3), q(1) * q(3), 3];
  s(7:9) = {[q(2), q(1)]};
endfunction

function kinds = rules (q, args, arrays_ok)
  kinds = {};
  n = needed (q)(5);
  if (arrays_ok && n > 0)
    f = single (args{5}(1:n));
    if (! all (f > -1 & f < 256))
      kinds{end+1} = "sampleOutOfRange";
    endif
  endif
endfunction
