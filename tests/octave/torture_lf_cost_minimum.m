## How the torture test calls [D, conf] = lf_cost_minimum(E, shifts[, refine[,
## G, radius, epsilon]]): random good and bad calls, each checked against the
## m-code minimum (after the literal filter when a guide is given), bit for
## bit, or against the kind it violates, with every input unchanged.
function d = torture_lf_cost_minimum ()
  addpath (fullfile (fileparts (mfilename ("fullpath")), "..", "..", "matlab"));
  d.name = "lf_cost_minimum";
  d.one_call = @one_call;
endfunction

function [outcome, problem] = one_call ()
  rws = randi ([0 6]); cls = randi ([0 6]); S = randi ([1 5]);
  ## Ties and flat curves are where the minimum's rules differ most.
  E = round (rand (rws, cls, S) * pick ({3, 40, 1e5}));
  if (rand () < 0.15 && numel (E) > 0)
    E(randi (numel (E))) = pick ({NaN, Inf, -Inf, 1e308, -1e308, -0});
  endif
  shifts = pick ({sort(randn(1, S)), randn(S, 1), linspace(-1, 1, S), zeros(1, S)});
  G = round (rand (rws, cls) * 255);
  r = rand ();
  if (r < 0.03) E = single (E);
  elseif (r < 0.05) E = complex (E, E);
  elseif (r < 0.07) E = cat (4, E, E);
  elseif (r < 0.09) E = E(:, :, 1:end-1);
  elseif (r < 0.11) shifts = [];
  elseif (r < 0.13) shifts = repmat (shifts(:), 1, 2);
  elseif (r < 0.15) shifts(randi (numel (shifts))) = pick ({NaN, Inf});
  elseif (r < 0.16) shifts = int8 (shifts);
  elseif (r < 0.18) G = G';
  elseif (r < 0.19) G = int16 (G);
  elseif (r < 0.21 && numel (G) > 0) G(randi (numel (G))) = NaN;
  endif
  refine = pick ({true, false, 1, 0, uint8(1), 2, -1, NaN, 0.5, [], [1 0], "a", {1}});
  radius = pick ({0, 1, 2, 4, 1e300, uint8(2), 1, 2, -1, 1.5, NaN, [], [1 2]});
  epsilon = pick ({1, 16, 1e-6, single(2), 650, 0, -1, Inf, [], {1}});
  args = {E, shifts, refine, G, radius, epsilon};
  args = args(1:pick ({2, 3, 6, 6}));
  if (rand () < 0.04) args = [args, {1}]; endif
  nlhs = pick ({1, 2, 2, 2, 2, 2, 1, 3});
  before = args;
  ## The extra input makes a third (a valid refine) out of two.
  if (numel (args) >= 3)
    refine = args{3};
  endif

  ## The model, in the entry's order of checks.
  kind = "";
  n = numel (args);
  real_double = @(x) isa (x, "double") && isreal (x) && ! issparse (x);
  if (! any (n == [2 3 6])) kind = "inputCount";
  elseif (nlhs > 2) kind = "outputCount";
  elseif (! real_double (E)) kind = "badArray";
  elseif (! real_double (shifts)) kind = "badArray";
  elseif (isempty (shifts) || ! isvector (shifts)) kind = "badShifts";
  elseif (! all (isfinite (shifts))) kind = "nonFinite";
  elseif (ndims (E) > 3 || size (E, 3) != numel (shifts)) kind = "badSize";
  elseif (! all (isfinite (E(:)))) kind = "nonFinite";
  elseif (n >= 3 && ! isempty (scalar_kind (refine))) kind = scalar_kind (refine);
  elseif (n >= 3 && ! (refine == 0 || refine == 1)) kind = "badRefine";
  elseif (n == 6) kind = guide_kind (G, radius, epsilon, E);
  endif
  cost = [];
  if (isempty (kind))
    cost = E;
    if (n == 6 && numel (E) > 0)
      ## Finite costs of extreme size overflow the filter's sums.
      cost = lf_guided_filter_oracle (E, G, double (radius), double (epsilon));
      if (! all (isfinite (cost(:))))
        kind = "nonFinite";
      endif
    endif
  endif

  outcome = "accepted";
  try
    if (nlhs == 1)
      D = lf_cost_minimum (args{:});
    elseif (nlhs == 2)
      [D, conf] = lf_cost_minimum (args{:});
    else
      [D, conf, extra] = lf_cost_minimum (args{:});
    endif
  catch err
    outcome = err.identifier;
  end
  problem = call_verdict ("lf_cost_minimum", args, before, kind, outcome);
  if (isempty (problem) && isempty (kind))
    refined = n < 3 || logical (refine);
    [want_d, want_conf] = lf_disparity_from_entropy (cost, shifts, refined);
    same = @(a, b) isequal (size (a), size (b)) && isequal (typecast (a(:), "uint64"), typecast (b(:), "uint64"));
    if (! same (D, want_d) || (nlhs == 2 && ! same (conf, want_conf)))
      problem = "result differs from the m-code minimum";
    endif
  endif
endfunction
