% lf_entropy_sweep in the real host: bit for bit the chained olmarin and
% varnel calls on every thread count, the fault it names against the one
% varnel names, and every error identifier.
function test_lf_entropy_sweep()
  rand('seed', 7);
  check_against_chained();
  check_fault_names_what_varnel_names();
  check_errors();
  disp('test_lf_entropy_sweep: all checks passed');
end

function [E, I, fault] = chained(R, C, shifts)
  rows = size(R, 1) / C; cols = size(R, 2) / C;
  E = zeros(rows, cols, numel(shifts)); I = zeros(rows, cols, 3, numel(shifts)); fault = '';
  for s = 1:numel(shifts)
    T = zeros(size(R)); Is = zeros(rows, cols, 3); M = zeros(rows, cols);
    olmarin(cols, rows, C, (C - 1) / 2, R, T, Is, shifts(s));
    try
      varnel(cols, rows, C, 0, 0, T, M);
    catch err
      fault = {s, err.message};
      return;
    end
    E(:, :, s) = M; I(:, :, :, s) = Is;
  end
end

function check_against_chained()
  shifts = [0, -0.37, 1, -2, 0.5, 7.25, -1e3];
  % rows, cols, C
  grids = {13, 11, 1; 13, 11, 3; 9, 70, 5; 70, 9, 9; 5, 4, 15; 0, 4, 3; 4, 0, 3};
  for g = 1:rows(grids)
    [rws, cls, C] = grids{g, :};
    R = round(rand(rws * C, cls * C, 3) * 1020) / 4;
    [E_want, I_want] = chained(R, C, shifts);
    for threads = 1:3
      [E, I] = lf_entropy_sweep(R, C, shifts, 'Threads', threads);
      assert(isequal(size(E), [rws, cls, numel(shifts)]) && isequal(E, E_want), ...
             sprintf('maps differ: %d x %d, C %d, %d threads', rws, cls, C, threads));
      assert(isequal(size(I), size(I_want)) && isequal(I, I_want), sprintf('images differ: C %d', C));
    end
    E1 = lf_entropy_sweep(R, C, shifts');      % default threads, column of shifts, one output
    assert(isequal(E1, E_want));
  end
  R = rand(12, 15, 3) * 255;
  [E, I] = lf_entropy_sweep(R, 3, []);
  assert(isequal(size(E), [4, 5, 0]) && isequal(size(I), [4, 5, 3, 0]));
  E = lf_entropy_sweep(R, 3, zeros(1, 0), 'threads', 2);
  assert(isequal(size(E), [4, 5, 0]));
end

function place = place_in(message)
  place = regexp(message, 'pixel \(\d+, \d+\), angular sample \(\d+, \d+\), plane \d+', 'match', 'once');
end

function check_fault_names_what_varnel_names()
  C = 3; R = round(rand(7 * C, 6 * C, 3) * 255);
  R(5, 8, 3) = 300;
  R(10, 2, 1) = -0.75;
  cases = {[0, 0.5], [NaN, 0], [0.5, NaN], [Inf, -1]};
  R2 = round(rand(7 * C, 6 * C, 3) * 255);
  for n = 1:numel(cases)
    for source = {R, R2}
      S = source{1};
      [~, ~, fault] = chained(S, C, cases{n});
      if isempty(fault)
        continue;
      end
      try
        lf_entropy_sweep(S, C, cases{n}, 'Threads', 2);
        error('no error for case %d', n);
      catch err
        assert(strcmp(err.identifier, 'lf_entropy_sweep:sampleOutOfRange'), err.identifier);
        assert(~isempty(strfind(err.message, sprintf('shift %d (', fault{1}))), err.message);
        assert(strcmp(place_in(err.message), place_in(fault{2})), [err.message ' vs ' fault{2}]);
      end
    end
  end
end

function err = expect_error(id, varargin)
  try
    lf_entropy_sweep(varargin{:});
  catch err
    assert(strcmp(err.identifier, ['lf_entropy_sweep:' id]), sprintf('want %s, got %s: %s', id, err.identifier, err.message));
    return;
  end
  error('no error, want %s', id);
end

function check_errors()
  R = rand(9, 12, 3) * 255;
  expect_error('inputCount', R, 3);
  expect_error('inputCount', R, 3, 0, 'Threads');
  try
    [a, b, c] = lf_entropy_sweep(R, 3, 0);
    error('no error for three outputs');
  catch err
    assert(strcmp(err.identifier, 'lf_entropy_sweep:outputCount'), err.identifier);
  end
  expect_error('badArray', single(R), 3, 0);
  expect_error('badArray', complex(R, R), 3, 0);
  expect_error('badArray', sparse(rand(9, 12)), 3, 0);
  expect_error('badArray', 'text', 3, 0);
  expect_error('sourceSize', rand(9, 12), 3, 0);
  expect_error('sourceSize', rand(9, 12, 4), 3, 0);
  expect_error('sourceSize', rand(9, 12, 3, 2), 3, 0);
  expect_error('sourceSize', R, 5, 0);
  expect_error('badScalar', R, 'a', 0);
  expect_error('badScalar', R, [3 3], 0);
  expect_error('badScalar', R, {3}, 0);
  expect_error('emptyScalar', R, [], 0);
  for C = {2, 0, -3, 3.5, NaN, Inf, 65537}
    expect_error('angularSize', R, C{1}, 0);
  end
  expect_error('badShifts', R, 3, single(0));
  expect_error('badShifts', R, 3, [1i 0]);
  expect_error('badShifts', R, 3, zeros(2, 2));
  expect_error('badShifts', R, 3, zeros(1, 1, 2));
  expect_error('badShifts', R, 3, {0});
  % The option's messages word for word: their checks are shared with other
  % entries, which must not change them.
  range = 'input 5 (''Threads'') must be a whole number from 1 to 1024, got ';
  options = {
    {'Thread', 1},          'input 4 must be the option name ''Threads'', got ''Thread''.'
    {5, 1},                 'input 4 must be the option name ''Threads'', got a double array of 1 elements.'
    {complex(1, 1), 1},     'input 4 must be the option name ''Threads'', got a complex double array of 1 elements.'
    {'Threads', [1 2]},     'input 5 (''Threads'') must be one whole number of at least 1, got a double array of 2 elements.'
    {'Threads', 0},         [range '0.']
    {'Threads', 1.5},       [range '1.5.']
    {'Threads', 2000},      [range '2000.']
    {'Threads', NaN},       [range 'NaN.']
    {'Threads', -Inf},      [range '-Inf.']
  };
  for n = 1:rows(options)
    err = expect_error('badOption', R, 3, 0, options{n, 1}{:});
    assert(strcmp(err.message, ['lf_entropy_sweep: ' options{n, 2}]), 'option row %d: %s', n, err.message);
  end
  assert(isequal(lf_entropy_sweep(R, 3, 0, 'tHREADS', 2), lf_entropy_sweep(R, 3, 0)), 'option name not matched without case');
  expect_error('sampleOutOfRange', R, 3, [0 NaN]);
  expect_error('sampleOutOfRange', R + 300, 3, 0);
  expect_error('sampleOutOfRange', R, uint8(3), -Inf);
end
