## torture (modules, calls, seed)
##
## Thousands of randomised good and bad calls to each module in this one
## Octave process: wrong classes (single, integers, logical, char, cell,
## struct, complex, sparse, function handles), empty arrays, arrays one element
## short, sizes that wrap, are negative, huge, NaN or Inf, shared or repeated
## written arrays, wrong input and output counts, and each module's own bad
## values. Every call must either return with exactly the bits of the literal
## implementation (a test-only module, <module>_oracle) in its written arrays
## and every other input untouched, or raise "<module>:<kind>" with a kind the
## call violates and every caller array untouched. torture_<module>.m says how
## to call each module. Prints a tally and fails on the first wrong outcome
## count above zero. A module whose results are outputs rather than written
## inputs gives its own d.one_call instead of roles.
function torture (modules, calls, seed)
  if (nargin < 2)
    calls = 3000;
  endif
  if (nargin < 3)
    seed = 1;
  endif
  if (ischar (modules))
    modules = {modules};
  endif
  rand ("state", seed);
  randn ("state", seed);
  total_failures = 0;
  total_calls = 0;
  for m = 1:numel (modules)
    d = feval (["torture_" modules{m}]);
    accepted = 0;
    rejected = struct ();
    failures = {};
    t0 = tic ();
    for k = 1:calls
      if (isfield (d, "one_call"))
        ## A module that returns its results draws and checks its own calls.
        [outcome, problem] = d.one_call ();
      else
        [outcome, problem] = one_call (d);
      endif
      if (! isempty (problem))
        failures{end+1} = sprintf ("call %d: %s", k, problem);
      elseif (strcmp (outcome, "accepted"))
        accepted += 1;
      else
        key = strrep (outcome, ":", "__");
        if (! isfield (rejected, key))
          rejected.(key) = 0;
        endif
        rejected.(key) += 1;
      endif
    endfor
    keys = sort (fieldnames (rejected));
    printf ("%s: %d calls tried, %d accepted, %d rejected, %d wrong outcomes, crashes 0 (%.1f s)\n", d.name, ...
            calls, accepted, calls - accepted - numel (failures), numel (failures), toc (t0));
    for i = 1:numel (keys)
      printf ("  rejected %-32s %6d\n", strrep (keys{i}, "__", ":"), rejected.(keys{i}));
    endfor
    for i = 1:min (numel (failures), 20)
      printf ("  WRONG %s\n", failures{i});
    endfor
    total_failures += numel (failures);
    total_calls += calls;
  endfor
  printf ("torture: %d calls, %d wrong outcomes; Octave survived every call\n", total_calls, total_failures);
  if (total_failures > 0)
    error ("torture: %d wrong outcomes", total_failures);
  endif
endfunction

## One random call and its check: outcome is "accepted" or the error
## identifier; problem is empty when the outcome is right.
function [outcome, problem] = one_call (d)
  problem = "";
  nin = numel (d.roles);
  p = d.draw ();
  args = cell (1, nin);
  made = repmat ({""}, 1, nin);
  tag = zeros (1, nin);  # arrays with the same nonzero tag share data
  scalar = ismember (d.roles, {"size16", "size32", "real"});
  for i = find (scalar)
    [args{i}, made{i}] = encode_scalar (p(i), d.roles{i});
  endfor
  [q, scalars_ok] = convert (args, d.roles);
  if (scalars_ok)
    need = d.needed (q);
  else
    need = d.needed (convert (num2cell (p), d.roles));
  endif
  shapes = {};
  if (isfield (d, "shapes") && scalars_ok)
    shapes = d.shapes (q);
  endif
  next_tag = 1;
  for i = find (! scalar)
    role = d.roles{i};
    earlier = find (tag > 0 & ! strcmp (made, "range"));
    if (strcmp (role, "written") && ! isempty (earlier) && rand () < 0.1)
      j = earlier(randi (numel (earlier)));
      ## (reshape makes a new scalar of a one-element array, sharing nothing)
      if (rand () < 0.5 || isa (args{j}, "function_handle") || numel (args{j}) == 1)
        args{i} = args{j};
        made{i} = sprintf ("the same variable as input %d", j);
      else
        args{i} = reshape (args{j}, [], 1);
        made{i} = sprintf ("reshape of input %d", j);
      endif
      tag(i) = tag(j);
      continue;
    endif
    if (strcmp (role, "ignored"))
      [args{i}, made{i}] = junk ();
    else
      shape = [];
      if (numel (shapes) >= i)
        shape = shapes{i};
      endif
      [args{i}, made{i}] = make_array (need(i), shape, role, d);
    endif
    tag(i) = next_tag;
    next_tag += 1;
  endfor

  nrhs = nin;
  r = rand ();
  if (r < 0.03)
    nrhs = max (0, nin - randi (3));
  elseif (r < 0.05)
    nrhs = nin + randi (2);
    args(nin+1:nrhs) = {[]};
  endif
  args = args(1:nrhs);
  r = rand ();
  nlhs = (r > 0.8) + (r > 0.92);

  ## The model's verdict: kinds the call violates; "*" when the scalars are so
  ## wrong that the sizes, and with them further kinds, cannot be judged.
  kinds = {};
  if (nrhs != nin)
    kinds = {"inputCount"};
  elseif (nlhs > 1)
    kinds = {"outputCount"};
  else
    arrays_ok = scalars_ok;
    for i = 1:nin
      a = args{i};
      if (scalar(i))
        if (! (isnumeric (a) || islogical (a)) || ! isreal (a) || issparse (a))
          kinds{end+1} = "badScalar";
          if (isempty (a))
            kinds{end+1} = "emptyScalar";
          endif
        elseif (isempty (a))
          kinds{end+1} = "emptyScalar";
        endif
      elseif (any (strcmp (d.roles{i}, {"source", "written"})))
        if (! isa (a, "double") || ! isreal (a) || issparse (a))
          kinds{end+1} = "badArray";
          arrays_ok = false;
        elseif (scalars_ok && numel (a) < need(i))
          kinds{end+1} = "arrayTooSmall";
          arrays_ok = false;
        endif
        if (strcmp (d.roles{i}, "written"))
          for j = find (tag == tag(i) & (1:nin) != i & ismember (d.roles, {"source", "written"}))
            if (numel (a) > 0 && numel (args{j}) > 0)
              kinds{end+1} = "sharedData";
            endif
          endfor
        endif
      endif
    endfor
    if (scalars_ok)
      kinds = [kinds, d.rules(q, args, arrays_ok)];
    else
      kinds{end+1} = "*";
    endif
  endif

  orig = cellfun (@deep_copy, args, "UniformOutput", false);
  outcome = "accepted";
  try
    switch (nlhs)
      case 0
        feval (d.name, args{:});
      case 1
        out1 = feval (d.name, args{:});
        problem = "assigned an output";
      otherwise
        [out1, out2] = feval (d.name, args{:});
        problem = "assigned two outputs";
    endswitch
  catch err
    if (nlhs == 1 && isempty (err.identifier) && ! isempty (strfind (err.message, "undefined")))
      ## Returned, and as it should assigned nothing.
    else
      outcome = err.identifier;
    endif
  end_try_catch

  describe = @() describe_call (made, args, nlhs, outcome, kinds);
  if (! isempty (problem))
    problem = [problem describe()];
    return;
  endif
  written = strcmp (d.roles, "written");
  if (strcmp (outcome, "accepted"))
    if (! isempty (kinds))
      problem = ["accepted a call that violates " strjoin(kinds, ", ") describe()];
      return;
    endif
    oargs = orig;
    for i = find (scalar)
      oargs{i} = q(i);
    endfor
    for i = find (written)
      oargs{i} = deep_copy (orig{i});
    endfor
    feval (d.oracle, oargs{:});
    for i = 1:nin
      if (written(i))
        ## Which NaN a sum or product of two NaNs keeps (payload, sign) is the
        ## processor's choice of operand, which the compiler may swap: every
        ## NaN counts as the same value here, every other value to the bit.
        if (! same_bits (canonical_nan (args{i}), canonical_nan (oargs{i})))
          problem = sprintf ("input %d differs from the literal implementation%s%s", i, ...
                             first_difference (canonical_nan (args{i}), canonical_nan (oargs{i})), describe());
          return;
        endif
      elseif (! any (tag(written) == tag(i)) && ! same_bits (args{i}, orig{i}))
        problem = sprintf ("input %d (read only) changed%s", i, describe());
        return;
      endif
    endfor
  else
    prefix = [d.name ":"];
    if (! strncmp (outcome, prefix, numel (prefix)))
      problem = ["raised a foreign error: " err.message describe()];
      return;
    endif
    kind = outcome(numel (prefix)+1:end);
    if (isempty (kinds))
      problem = ["rejected a valid call: " err.message describe()];
      return;
    endif
    if (! any (strcmp (kind, kinds)) && ! any (strcmp ("*", kinds)))
      problem = ["rejected with a kind the call does not violate: " err.message describe()];
      return;
    endif
    for i = 1:nrhs
      if (! same_bits (args{i}, orig{i}))
        problem = sprintf ("input %d changed by a rejected call%s", i, describe());
        return;
      endif
    endfor
  endif
endfunction

## A scalar input standing for v, in one of the forms a caller may pass, or
## a wrong one.
function [a, how] = encode_scalar (v, role)
  r = rand ();
  how = "double";
  a = v;
  if (r < 0.55)
    return;
  elseif (r < 0.60)
    if (! strcmp (role, "real") && v >= 0)
      a = v + 0.9 * rand ();
      how = "fraction";
    endif
  elseif (r < 0.63)
    if (strcmp (role, "size16"))
      a = v + 65536 * randi (3);
      how = "wrapped";
    endif
  elseif (r < 0.75)
    classes = {"single", "int8", "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64", "logical"};
    how = classes{randi (numel (classes))};
    if (strcmp (how, "logical"))
      a = logical (! isnan (v) && v != 0);
    else
      a = cast (v, how);
    endif
  elseif (r < 0.80)
    a = [v, rand(1, randi (3)) * 100];
    how = "several elements";
    if (rand () < 0.5)
      a = a.';
    endif
  elseif (r < 0.86)
    specials = [NaN, Inf, -Inf, 1e300, -1e300, -1, -0.5, 2^31, -2^31 - 1, 2^63, -2^63, 2^64, 65535, 65536, 7.9];
    a = specials(randi (numel (specials)));
    how = "special";
  elseif (r < 0.88)
    if (isfinite (v))
      a = v:(v + 2);
      how = "range";
    endif
  else
    bad = {@() num2str(v), @() {v}, @() struct("v", v), @() complex(v, 1), @() sparse(v), @() [], ...
           @() zeros(0, 1), @() int8([]), @() single([]), @() @sin, @() true(0, 0), @() ""};
    names = {"char", "cell", "struct", "complex", "sparse", "empty", "empty column", "empty int8", ...
             "empty single", "function handle", "empty logical", "empty char"};
    k = randi (numel (bad));
    a = bad{k}();
    how = names{k};
  endif
endfunction

## Converted scalar values as the entry reads them (first element, then the
## role's conversion), and whether every scalar input is a valid one.
function [q, ok] = convert (args, roles)
  q = NaN (1, numel (roles));
  ok = true;
  for i = 1:numel (roles)
    if (! any (strcmp (roles{i}, {"size16", "size32", "real"})))
      continue;
    endif
    a = args{i};
    if (! (isnumeric (a) || islogical (a)) || ! isreal (a) || issparse (a) || isempty (a))
      ok = false;
      continue;
    endif
    x = double (a(1));
    switch (roles{i})
      case "size16"
        if (! (x >= -2^63 && x < 2^63))
          q(i) = 0;
        else
          q(i) = double (bitand (typecast (int64 (fix (x)), "uint64"), uint64 (65535)));
        endif
      case "size32"
        if (! (x > -2147483649 && x < 2147483648))
          q(i) = -2147483648;
        else
          q(i) = fix (x);
        endif
      otherwise
        q(i) = x;
    endswitch
  endfor
endfunction

## An array input that needs n elements: mostly a good one, otherwise one
## element short, empty, of a wrong class, complex or sparse; sources also as
## ranges, which the host hands over as a temporary copy.
function [a, how] = make_array (n, shape, role, d)
  if (n > 2e5)
    n = randi ([0 50]);  # sizes no test array can hold: must be rejected
    shape = [];
  endif
  if (strcmp (role, "source"))
    s = d.samples (n);
  else
    fills = {@() zeros(n, 1), @() NaN(n, 1), @() rand(n, 1), @() -zeros(n, 1)};
    s = fills{randi (numel (fills))}();
  endif
  r = rand ();
  how = "double";
  if (r < 0.72 || (r < 0.77 && n == 0))
    if (! isempty (shape) && rand () < 0.7)
      a = reshape (s, shape);
    else
      a = [s; rand(randi ([0 3]) * (rand () < 0.2), 1)];
      how = "double column";
    endif
  elseif (r < 0.77)
    a = reshape (s(1:end-1), 1, []);
    how = "one element short";
  elseif (r < 0.80)
    a = zeros (0, 3);
    how = "empty";
  elseif (r < 0.82 && strcmp (role, "source"))
    a = 0:(n - 1);
    how = "range";
  else
    bad = {@() single(s), @() int8(s), @() uint8(s), @() uint16(s), @() int32(s), @() logical(s > 100), ...
           @() repmat("a", size(s)), @() {s}, @() struct("s", s), @() complex(s, 1), @() sparse(s), ...
           @() complex(single(s), 1), @() sparse(s > 100), @() @cos};
    names = {"single", "int8", "uint8", "uint16", "int32", "logical", "char", "cell", "struct", "complex", ...
             "sparse", "complex single", "sparse logical", "function handle"};
    k = randi (numel (bad));
    a = bad{k}();
    how = names{k};
  endif
endfunction

## Anything at all, for inputs that are never checked.
function [a, how] = junk ()
  things = {@() [], @() rand(3), @() "text", @() {1, 2}, @() struct("x", 1), @() @sin, @() int8(5), ...
            @() complex(1, 2), @() sparse(eye(3)), @() NaN, @() -Inf, @() true};
  k = randi (numel (things));
  a = things{k}();
  how = func2str (things{k});
endfunction

## A copy that shares no data with x: the modules write in place, and a plain
## copy would change with the original.
function y = deep_copy (x)
  y = x;
  if ((isnumeric (x) || islogical (x) || ischar (x)) && ! issparse (x) && numel (x) > 0)
    y(1) = y(1);
  endif
endfunction

function same = same_bits (a, b)
  same = strcmp (class (a), class (b)) && isequal (size (a), size (b)) && iscomplex (a) == iscomplex (b) ...
         && issparse (a) == issparse (b);
  if (! same)
    return;
  endif
  if (isfloat (a) && ! issparse (a))
    bits = "uint64";
    if (isa (a, "single"))
      bits = "uint32";
    endif
    same = isequal (typecast (real (a(:)), bits), typecast (real (b(:)), bits));
    if (same && iscomplex (a))
      same = isequal (typecast (imag (a(:)), bits), typecast (imag (b(:)), bits));
    endif
  else
    same = isequaln (a, b);
  endif
endfunction

function x = canonical_nan (x)
  if (isa (x, "double") && isreal (x) && ! issparse (x))
    x(isnan (x)) = NaN;
  endif
endfunction

function s = first_difference (a, b)
  s = "";
  if (isa (a, "double") && isa (b, "double") && numel (a) == numel (b) && isreal (a) && isreal (b))
    k = find (typecast (a(:), "uint64") != typecast (b(:), "uint64"), 1);
    s = sprintf (" at element %d: %s, literal %s", k, num2hex (a(k)), num2hex (b(k)));
  endif
endfunction

function s = describe_call (made, args, nlhs, outcome, kinds)
  s = sprintf ("\n      outcome %s, expected kinds {%s}, nlhs %d, nrhs %d", outcome, strjoin (kinds, ", "), ...
               nlhs, numel (args));
  for i = 1:numel (args)
    a = args{i};
    what = class (a);
    if (iscomplex (a))
      what = ["complex " what];
    endif
    if (issparse (a))
      what = ["sparse " what];
    endif
    v = "";
    if ((isnumeric (a) || islogical (a)) && ! isempty (a))
      v = sprintf (" first %.17g", double (real (a(1))));
    endif
    how = "";
    if (i <= numel (made))
      how = made{i};
    endif
    s = [s sprintf("\n      input %d: %s [%s]%s (%s)", i, what, num2str (size (a)), v, how)];
  endfor
endfunction
