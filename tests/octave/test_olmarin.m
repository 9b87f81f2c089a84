% olmarin in the real host: exact bits against the literal oracle, scalar
% conversion, the count messages, and every rejection leaving the caller's
% arrays unchanged.
function test_olmarin()
  rand('seed', 42);
  check_against_literal();
  check_scalar_conversion();
  check_counts();
  check_rejections();
  disp('test_olmarin: all checks passed');
end

function [S, T, I] = arrays(rows, cols, C)
  S = round(rand(rows * C, cols * C, 3) * 2550) / 10;
  T = zeros(rows * C, cols * C, 3) - 7;
  I = zeros(rows, cols, 3) - 7;
end

function check_against_literal()
  h = lf_test_helpers();
  % cols, rows, C, D, alpha
  cases = {
    50, 40,  9, 4, 0.37
    50, 40,  9, 4, -1.25
    50, 40,  9, 4, 2
    50, 40,  9, 4, 0
    50, 40,  9, 4, 3e8
    50, 40,  9, 4, NaN
    50, 40,  9, 4, -Inf
    13, 11, 11, 4, 0.6
     1,  1,  9, 4, 0.37
     1,  7,  3, 1, -0.5
     6,  1,  5, 2, 1.5
     0,  5,  3, 1, 0.5
     5,  0,  3, 1, 0.5
  };
  for n = 1:rows(cases)
    [cols, rws, C, D, alpha] = cases{n, :};
    [S, T, I] = arrays(rws, cols, C);
    [T_want, I_want] = refocus_literal(cols, rws, C, D, S, T + 0, I + 0, alpha);
    S_before = h.snapshot(S);
    olmarin(cols, rws, C, D, S, T, I, alpha);
    h.same_bits(T, T_want, sprintf('destination, case %d', n));
    h.same_bits(I, I_want, sprintf('image, case %d', n));
    h.check(isequal(h.snapshot(S), S_before), 'source changed: case %d', n);
  end

  % An enormous alpha moves every sample past the border: each written value
  % is a sample of the source, and the host keeps running.
  [S, T, I] = arrays(6, 5, 9);
  olmarin(5, 6, 9, 4, S, T, I, 1e300);
  written = T(T ~= -7);
  h.check(numel(written) == numel(S) && all(ismember(written, S(:))), 'alpha = 1e300 wrote non-samples');
end

function check_scalar_conversion()
  h = lf_test_helpers();
  [S, T, I] = arrays(4, 5, 3);
  [T_want, I_want] = refocus_literal(5, 4, 3, 1, S, T + 0, I + 0, 0.75);
  % Each call names the same sizes in another way: truncation (7.9 -> 7 style),
  % reduction modulo 2^16, several-element arrays (first element), other classes.
  calls = {
    {5.9, 4.2, 3.99, 1.5, 0.75}
    {65541, 65540, 3, 65537, 0.75}
    {[5 99 99], [4; 1], 3, 1, [0.75 2]}
    {int32(5), uint8(4), int16(3), true, single(0.75)}
    {int64(5), 4, uint16(3), int8(1), 0.75}
  };
  for n = 1:numel(calls)
    a = calls{n};
    T(:) = -7; I(:) = -7;
    olmarin(a{1}, a{2}, a{3}, a{4}, S, T, I, a{5});
    h.same_bits(T, T_want, sprintf('destination, scalar form %d', n));
    h.same_bits(I, I_want, sprintf('image, scalar form %d', n));
  end
  % -1 becomes 65535, and 65536, NaN and Inf become 0 (nothing to do).
  [T0, I0] = deal(T + 0, I + 0);
  olmarin(65536, 4, 3, 1, S, T, I, 0.5);
  olmarin(NaN, 4, 3, 1, S, T, I, 0.5);
  olmarin(5, Inf, 3, 1, S, T, I, 0.5);
  h.same_bits(T, T0, 'destination after sizes converting to 0');
  h.same_bits(I, I0, 'image after sizes converting to 0');
  h.expect_error('olmarin:arrayTooSmall', @() olmarin(-1, 4, 3, 1, S, T, I, 0.5));
end

function check_counts()
  h = lf_test_helpers();
  [S, T, I] = arrays(2, 3, 3);
  msg_in = 'Eight input arguments required.';
  h.expect_error('olmarin:inputCount', @() olmarin(), msg_in);
  h.expect_error('olmarin:inputCount', @() olmarin(3, 2, 3, 1, S, T, I), msg_in);
  h.expect_error('olmarin:inputCount', @() olmarin(3, 2, 3, 1, S, T, I, 0.5, 1), msg_in);
  % The input count wins even when two outputs are asked for.
  h.expect_error('olmarin:inputCount', @() two_outputs(3, 2, 3, 1, S, T, I), msg_in);
  h.expect_error('olmarin:outputCount', @() two_outputs(3, 2, 3, 1, S, T, I, 0.5), 'Too many output arguments.');
  h.check(all(T(:) == -7) && all(I(:) == -7), 'a count error wrote');

  % One output asked: the results are written, no output is assigned.
  [T_want, I_want] = refocus_literal(3, 2, 3, 1, S, T + 0, I + 0, 0.5);
  try
    x = olmarin(3, 2, 3, 1, S, T, I, 0.5); %#ok<NASGU>
    error('test:assigned', 'olmarin assigned an output');
  catch err
    h.check(~strcmp(err.identifier, 'test:assigned'), err.message);
  end
  h.same_bits(T, T_want, 'destination after a one-output call');
  h.same_bits(I, I_want, 'image after a one-output call');
end

function two_outputs(varargin)
  [a, b] = olmarin(varargin{:}); %#ok<ASGLU>
end

function check_rejections()
  h = lf_test_helpers();
  [S, T, I] = arrays(4, 5, 3);
  good = {5, 4, 3, 1, S, T, I, 0.5};
  % Each row: input position, replacement value, expected identifier.
  bad = {
    1, {}, 'olmarin:badScalar'
    2, 'a', 'olmarin:badScalar'
    3, struct('a', 1), 'olmarin:badScalar'
    4, 1 + 2i, 'olmarin:badScalar'
    8, sparse(0.5), 'olmarin:badScalar'
    1, [], 'olmarin:emptyScalar'
    8, zeros(1, 0), 'olmarin:emptyScalar'
    3, 2, 'olmarin:angularSizeTooSmall'
    4, 2, 'olmarin:angularSizeTooSmall'
    5, single(S), 'olmarin:badArray'
    6, complex(T), 'olmarin:badArray'
    7, sparse(I(:, :, 1)), 'olmarin:badArray'
    6, int32(T), 'olmarin:badArray'
    6, {T}, 'olmarin:badArray'
    5, S(1:end - 1), 'olmarin:arrayTooSmall'
    6, T(1:end - 1), 'olmarin:arrayTooSmall'
    7, I(1:end - 1), 'olmarin:arrayTooSmall'
    7, zeros(0, 3), 'olmarin:arrayTooSmall'
  };
  for n = 1:rows(bad)
    args = good;
    args{bad{n, 1}} = bad{n, 2};
    before = h.snapshot(S, T, I);
    h.expect_error(bad{n, 3}, @() olmarin(args{:}));
    h.check(isequal(h.snapshot(S, T, I), before), 'rejected call %d changed an array', n);
  end

  % Shared data: a copy made by assignment, the same variable twice, and the
  % image on the destination's data. The source must survive each.
  T2 = S;
  I2 = T;
  shared = {
    {5, 4, 3, 1, S, T2, I, 0.5}
    {5, 4, 3, 1, S, S, I, 0.5}
    {5, 4, 3, 1, S, T, S, 0.5}
    {5, 4, 3, 1, S, T, I2, 0.5}
  };
  for n = 1:numel(shared)
    before = h.snapshot(S, T, I);
    h.expect_error('olmarin:sharedData', @() olmarin(shared{n}{:}));
    h.check(isequal(h.snapshot(S, T, I), before), 'shared-data call %d changed an array', n);
  end
end
