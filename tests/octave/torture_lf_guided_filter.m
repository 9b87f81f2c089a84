## How the torture test calls Q = lf_guided_filter(P, G, radius, epsilon):
## random good and bad calls, each checked against the literal filter (a
## valid call, bit for bit) or the kinds it violates, with every input
## unchanged.
function d = torture_lf_guided_filter ()
  d.name = "lf_guided_filter";
  d.one_call = @one_call;
endfunction

function [outcome, problem] = one_call ()
  rws = randi ([0 9]); cls = randi ([0 9]); S = randi ([0 3]);
  P = rand (rws, cls, S) * 4.4;
  if (rand () < 0.2 && numel (P) > 0)
    P(randi (numel (P))) = pick ({NaN, Inf, -Inf, 1e308, -0});
  endif
  G = round (rand (rws, cls) * 255);
  if (rand () < 0.1 && numel (G) > 0)
    G(randi (numel (G))) = pick ({NaN, Inf, -Inf});
  endif
  r = rand ();
  if (r < 0.03) P = single (P);
  elseif (r < 0.05) P = complex (P, P);
  elseif (r < 0.07) P = cat (4, P, P);
  elseif (r < 0.08) P = "text";
  elseif (r < 0.10) G = G';
  elseif (r < 0.12) G = cat (3, G, G);
  elseif (r < 0.14) G = int16 (G);
  elseif (r < 0.15) G = {G};
  endif
  radius = pick ({0, 1, 2, 3, 5, 12, 1e300, uint8(2), true, 1, 2, 3, 4, -1, 1.5, NaN, Inf, [], [1 2], "a", {1}});
  epsilon = pick ({1, 650, 1e-6, single(2), 0.01, 6.5, 1e-300, 0, -1, NaN, Inf, [], [1 1], {1}});
  args = {P, G, radius, epsilon};
  if (rand () < 0.03) args = args(1:randi (3)); endif
  if (rand () < 0.02) args{end + 1} = 1; endif
  nlhs = 1 + (rand () < 0.03);
  before = args;

  ## The model, in the entry's order of checks.
  kind = "";
  real_double = @(x) isa (x, "double") && isreal (x) && ! issparse (x);
  if (numel (args) != 4) kind = "inputCount";
  elseif (nlhs > 1) kind = "outputCount";
  elseif (! real_double (P)) kind = "badArray";
  elseif (ndims (P) > 3) kind = "badSize";
  else kind = guide_kind (G, radius, epsilon, P);
  endif

  outcome = "accepted";
  try
    if (nlhs == 1)
      Q = lf_guided_filter (args{:});
    else
      [Q, extra] = lf_guided_filter (args{:});
    endif
  catch err
    outcome = err.identifier;
  end
  problem = call_verdict ("lf_guided_filter", args, before, kind, outcome);
  if (isempty (problem) && isempty (kind))
    want = lf_guided_filter_oracle (P, G, double (radius), double (epsilon));
    if (! isequal (size (Q), size (P)) || ! isequal (typecast (Q(:), "uint64"), typecast (want(:), "uint64")))
      problem = "result differs from the literal filter";
    endif
  endif
endfunction
