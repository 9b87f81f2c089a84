function bits = snapshot(varargin)
  % Real copies (not shared-data copies) of the arrays' bits, to prove later
  % that a call left them unchanged.
  bits = cellfun(@(a) typecast(a(:), 'uint64'), varargin, 'UniformOutput', false);
end
