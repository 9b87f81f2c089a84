## How the torture test calls E = lf_shrunk_entropy_sweep(R, C, k, shifts,
## 'Threads', N): random good and bad calls, each checked against
## lf_entropy_sweep on the views shrunk in m-code (a valid call) or the kinds
## it violates, with every input unchanged.
function d = torture_lf_shrunk_entropy_sweep ()
  d.name = "lf_shrunk_entropy_sweep";
  d.one_call = @one_call;
endfunction

function [outcome, problem] = one_call ()
  problem = "";
  if (rand () < 0.75)
    C = pick ({1, 3, 3, 5});
  else
    C = pick ({2, 0, 3.5, NaN, [], [3 3], "a", single(3)});
  endif
  Cn = 3;
  if (isnumeric (C) && isscalar (C) && isfinite (C) && C >= 1 && C <= 5 && mod (C, 2) == 1)
    Cn = double (C);
  endif
  if (rand () < 0.75)
    k = pick ({1, 2, 2, 3, 4, 9});
  else
    k = pick ({0, -1, 1.5, NaN, Inf, 65536, [], [2 2], "k", int8(2), true, 2i});
  endif
  rws = randi ([0 9]); cls = randi ([0 9]);
  R = round (rand (rws * Cn, cls * Cn, 3) * 255);
  if (rand () < 0.2 && numel (R) > 0)
    R(randi (numel (R))) = pick ({300, -1, NaN, Inf, 255.5, -0.5});
  endif
  r = rand ();
  if (r < 0.03) R = single (R);
  elseif (r < 0.05) R = R(:, :, 1:2);
  elseif (r < 0.07) R = [R; zeros(1, size (R, 2), 3)];
  endif
  shifts = pick ({0, -0.37, 1, -2, 0.5, 7.25, -1e3, NaN, 1e300}, randi ([0 3]));
  r = rand ();
  if (r < 0.03) shifts = single (shifts);
  elseif (r < 0.05) shifts = zeros (2, 2);
  endif
  args = {R, C, k, shifts};
  if (rand () < 0.4)
    args = [args, {pick({"Threads", "threads", "Thread"}), pick({1, 2, 0, 1.5, NaN})}];
  endif
  if (rand () < 0.03) args = args(1:randi (numel (args) - 1)); endif
  nlhs = 1 + (rand () < 0.04);
  before = args;

  ## The model, in the entry's order of checks.
  kind = "";
  nrhs = numel (args);
  scalar = @(x) (isnumeric (x) || islogical (x)) && isreal (x) && numel (x) <= 1;
  if (nrhs != 4 && nrhs != 6) kind = "inputCount";
  elseif (nlhs > 1) kind = "outputCount";
  elseif (! (isa (R, "double") && isreal (R))) kind = "badArray";
  elseif (size (R, 3) != 3) kind = "sourceSize";
  elseif (! scalar (C)) kind = "badScalar";
  elseif (isempty (C)) kind = "emptyScalar";
  elseif (! (isfinite (C) && C >= 1 && C == fix (C) && mod (C, 2) == 1)) kind = "angularSize";
  elseif (mod (size (R, 1), C) || mod (size (R, 2), C)) kind = "sourceSize";
  elseif (! scalar (k)) kind = "badScalar";
  elseif (isempty (k)) kind = "emptyScalar";
  elseif (! (k >= 1 && k <= 65535 && k == fix (k))) kind = "shrinkFactor";
  elseif (! (isa (shifts, "double") && isreal (shifts)) || ! (isvector (shifts) || isempty (shifts)))
    kind = "badShifts";
  elseif (nrhs == 6 && ! (strcmpi (args{5}, "threads") && args{6} >= 1 && args{6} == fix (args{6})))
    kind = "badOption";
  endif
  if (isempty (kind))
    ## One sample in k of each view along each side, as the range finder shrinks.
    pick_rows = @(n) reshape (bsxfun (@plus, (1:C)', (0:n - 1) * double (k) * C), 1, []);
    small = R(pick_rows (floor (rows (R) / C / double (k))), pick_rows (floor (columns (R) / C / double (k))), :);
    try
      want = lf_entropy_sweep (small, C, shifts);
    catch err
      kind = regexprep (err.identifier, "^lf_entropy_sweep:", "");
    end
  endif

  outcome = "accepted";
  try
    if (nlhs == 1)
      E = lf_shrunk_entropy_sweep (args{:});
    else
      [E, extra] = lf_shrunk_entropy_sweep (args{:});
    endif
  catch err
    outcome = err.identifier;
  end
  problem = call_verdict ("lf_shrunk_entropy_sweep", args, before, kind, outcome);
  if (isempty (problem) && isempty (kind) && ! isequal (E, want))
    problem = "maps differ from lf_entropy_sweep on the shrunk views";
  endif
endfunction
