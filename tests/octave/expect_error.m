function expect_error(call, identifier, message)
  % Runs call() and fails unless it raises `identifier`; with `message`, the
  % text must match exactly.
  try
    call();
  catch err
    if ~strcmp(err.identifier, identifier)
      error('test:wrongError', 'expected %s, got %s: %s', identifier, err.identifier, err.message);
    end
    if nargin > 2 && ~strcmp(err.message, message)
      error('test:wrongMessage', 'expected "%s", got "%s"', message, err.message);
    end
    return;
  end
  error('test:noError', 'expected error %s, but the call succeeded', identifier);
end
