## kind = guide_kind (G, radius, epsilon, cost)
##
## The kind the guided filter's arguments violate, in the order every entry
## that filters checks them (the guide against the rows and columns of the
## filtered array `cost`, then the radius, then epsilon), or "". Shared by
## the torture descriptors.
function kind = guide_kind (G, radius, epsilon, cost)
  kind = "";
  if (! (isa (G, "double") && isreal (G) && ! issparse (G))) kind = "badArray";
  elseif (ndims (G) != 2 || size (G, 1) != size (cost, 1) || size (G, 2) != size (cost, 2)) kind = "badSize";
  elseif (! all (isfinite (G(:)))) kind = "nonFinite";
  elseif (! isempty (scalar_kind (radius))) kind = scalar_kind (radius);
  elseif (! (radius >= 0 && isfinite (radius) && radius == fix (radius))) kind = "badRadius";
  elseif (! isempty (scalar_kind (epsilon))) kind = scalar_kind (epsilon);
  elseif (! (epsilon > 0 && isfinite (epsilon))) kind = "badEpsilon";
  endif
endfunction
