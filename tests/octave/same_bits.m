function same = same_bits(a, b)
  % True when two double arrays hold the same bits (NaN, -0 and all).
  same = isequal(size(a), size(b)) && isequal(typecast(a(:), 'uint64'), typecast(b(:), 'uint64'));
end
