## problem = call_verdict (module, args, before, kind, outcome)
##
## What a torture descriptor of a module that returns its results checks
## first: the inputs unchanged, a valid call (kind "") accepted, an invalid
## one rejected as "<module>:<kind>". "" when all hold; the results of an
## accepted call are the descriptor's to check after.
function problem = call_verdict (module, args, before, kind, outcome)
  problem = "";
  if (! isequaln (args, before))
    problem = "an input changed";
  elseif (isempty (kind) && ! strcmp (outcome, "accepted"))
    problem = sprintf ("valid call rejected: %s", outcome);
  elseif (! isempty (kind) && ! strcmp (outcome, [module ":" kind]))
    problem = sprintf ("want %s:%s, got %s", module, kind, outcome);
  endif
endfunction
