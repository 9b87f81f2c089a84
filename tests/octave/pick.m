## v = pick (choices)
## v = pick (choices, count)
##
## What the torture descriptors draw their arguments with: one of the cell
## array's choices, at random (randi, so a seed repeats it); with a count, a
## row of that many numeric choices.
function v = pick (choices, count)
  if (nargin < 2)
    v = choices{randi (numel (choices))};
  else
    v = zeros (1, count);
    for i = 1:count
      v(i) = choices{randi (numel (choices))};
    endfor
  endif
endfunction
