## kind = scalar_kind (x)
##
## The kind a scalar argument violates before its value is looked at, as the
## entries check it ("badScalar": not one real numeric or logical element;
## "emptyScalar": no element), or "" when it is one number. Shared by the
## torture descriptors.
function kind = scalar_kind (x)
  kind = "";
  if (! ((isnumeric (x) || islogical (x)) && isreal (x) && ! issparse (x)) || numel (x) > 1)
    kind = "badScalar";
  elseif (isempty (x))
    kind = "emptyScalar";
  endif
endfunction
