## How the torture test calls [E, images] = lf_entropy_sweep(R, C, shifts,
## 'Threads', N): random good and bad calls, each checked against the chained
## olmarin and varnel calls (a valid call) or the kinds it violates, with every
## input unchanged.
function d = torture_lf_entropy_sweep ()
  d.name = "lf_entropy_sweep";
  d.one_call = @one_call;
endfunction

function [outcome, problem] = one_call ()
  problem = "";
  C = pick ({1, 3, 3, 5, 5, 7, 2, 0, -1, 3.5, NaN, [], [3 3], "a", int8(3), single(5), {3}});
  Cn = 3;
  if (isnumeric (C) && isscalar (C) && isfinite (C) && C >= 1 && C <= 7 && mod (C, 2) == 1)
    Cn = double (C);
  endif
  rws = randi ([0 4]); cls = randi ([0 4]);
  R = round (rand (rws * Cn, cls * Cn, 3) * 255);
  if (rand () < 0.15 && numel (R) > 0)
    R(randi (numel (R))) = pick ({300, -1, NaN, Inf, 255.5, 255.49, -0.5});
  endif
  r = rand ();
  if (r < 0.03) R = single (R);
  elseif (r < 0.06) R = complex (R, R);
  elseif (r < 0.08) R = R(:, :, 1:2);
  elseif (r < 0.10) R = cat (4, R, R);
  elseif (r < 0.12) R = [R; zeros(1, size (R, 2), 3)];
  elseif (r < 0.13) R = "text";
  endif
  shifts = pick ({0, -0.37, 1, -2, 0.5, 7.25, -1e3, NaN, Inf, 1e300}, randi ([0 4]));
  r = rand ();
  if (r < 0.03) shifts = single (shifts);
  elseif (r < 0.05) shifts = zeros (2, 2);
  elseif (r < 0.07) shifts = {0};
  elseif (r < 0.09 && ! isempty (shifts)) shifts = shifts * 1i;
  endif
  args = {R, C, shifts};
  if (rand () < 0.5)
    args = [args, {pick({"Threads", "threads", "Thread", 4}), pick({1, 2, 3, 0, 1.5, [1 2], NaN, 2000})}];
  endif
  if (rand () < 0.03) args = args(1:randi (numel (args) - 1)); endif
  if (rand () < 0.02) args{end + 1} = 1; endif
  nlhs = 1 + (rand () < 0.5) + (rand () < 0.04);
  before = args;

  ## The model, in the entry's order of checks.
  kind = "";
  nrhs = numel (args);
  if (nrhs != 3 && nrhs != 5) kind = "inputCount";
  elseif (nlhs > 2) kind = "outputCount";
  elseif (! (isa (R, "double") && isreal (R) && ! issparse (R))) kind = "badArray";
  elseif (ndims (R) != 3 || size (R, 3) != 3) kind = "sourceSize";
  elseif (! ((isnumeric (C) || islogical (C)) && isreal (C)) || numel (C) > 1) kind = "badScalar";
  elseif (isempty (C)) kind = "emptyScalar";
  elseif (! (isfinite (C) && C >= 1 && C == fix (C) && mod (C, 2) == 1)) kind = "angularSize";
  elseif (mod (size (R, 1), C) || mod (size (R, 2), C)) kind = "sourceSize";
  elseif (! (isa (shifts, "double") && isreal (shifts)) || ! (isvector (shifts) || isempty (shifts)) || ndims (shifts) > 2)
    kind = "badShifts";
  elseif (nrhs == 5 && ! (ischar (args{4}) && strcmpi (args{4}, "threads") && isscalar (args{5}) ...
                          && args{5} >= 1 && args{5} <= 1024 && args{5} == fix (args{5})))
    kind = "badOption";
  endif
  if (isempty (kind))
    [E_want, I_want, kind] = chained (R, double (C), shifts);
  endif

  outcome = "accepted";
  try
    if (nlhs == 1)
      E = lf_entropy_sweep (args{:});
    elseif (nlhs == 2)
      [E, I] = lf_entropy_sweep (args{:});
    else
      [E, I, extra] = lf_entropy_sweep (args{:});
    endif
  catch err
    outcome = err.identifier;
  end
  problem = call_verdict ("lf_entropy_sweep", args, before, kind, outcome);
  if (! isempty (problem) || ! isempty (kind))
    return;
  elseif (! isequal (E, E_want))
    problem = "maps differ from the chained calls";
  elseif (nlhs == 2 && ! isequal (I, I_want))
    problem = "images differ from the chained calls";
  endif
endfunction

## The chained modules shift by shift; kind is "sampleOutOfRange" when varnel
## rejects a refocused field.
function [E, I, kind] = chained (R, C, shifts)
  rws = size (R, 1) / C; cls = size (R, 2) / C;
  E = zeros (rws, cls, numel (shifts)); I = zeros (rws, cls, 3, numel (shifts)); kind = "";
  for s = 1:numel (shifts)
    T = zeros (size (R)); Is = zeros (rws, cls, 3); M = zeros (rws, cls);
    olmarin (cls, rws, C, (C - 1) / 2, R, T, Is, shifts(s));
    try
      varnel (cls, rws, C, 0, 0, T, M);
    catch
      kind = "sampleOutOfRange";
      return;
    end
    E(:, :, s) = M; I(:, :, :, s) = Is;
  endfor
endfunction
