% Shared checks of the module tests; each signals a failure with error().
function h = lf_test_helpers()
  h.same_bits = @same_bits;
  h.expect_error = @expect_error;
  h.check = @check;
  h.snapshot = @snapshot;
end

% Real copies (not shared-data copies) of the arrays' bits, to prove later
% that a call left them unchanged.
function bits = snapshot(varargin)
  bits = cellfun(@(a) typecast(a(:), 'uint64'), varargin, 'UniformOutput', false);
end

% Bit-for-bit equality, telling negative zero from zero.
function same_bits(got, want, what)
  if ~isequal(size(got), size(want)) || ~strcmp(class(got), class(want)) ...
      || ~isequal(typecast(got(:), 'uint64'), typecast(want(:), 'uint64'))
    bad = find(typecast(got(:), 'uint64') ~= typecast(want(:), 'uint64'), 1);
    if isempty(bad)
      error('%s: sizes or classes differ', what);
    end
    error('%s: first difference at element %d: got %.17g, want %.17g', what, bad, got(bad), want(bad));
  end
end

% Runs f (a call with no outputs) and requires the error `id`, and, when
% given, a message ending in `text` (the host may put the name in front).
function e = expect_error(id, f, text)
  try
    f();
  catch e
    if ~strcmp(e.identifier, id)
      error('expected error %s, got %s: %s', id, e.identifier, e.message);
    end
    if nargin > 2 && (numel(e.message) < numel(text) || ~strcmp(e.message(end - numel(text) + 1:end), text))
      error('expected message "%s", got "%s"', text, e.message);
    end
    return;
  end
  error('expected error %s, got none', id);
end

function check(condition, varargin)
  if ~condition
    error(varargin{:});
  end
end
