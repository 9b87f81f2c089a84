% Module tests of varnel in the host: exact bits against the literal steps,
% every error id, rejected calls leaving the caller's arrays alone, ignored
% inputs, sizes, and olmarin's output as a source.
function test_varnel()
  h = lf_test_helpers();
  rand('state', 20261208);
  counts(h);
  exact_bits(h);
  rejected_samples(h);
  rejected_arguments(h);
  ignored_inputs(h);
  sizes(h);
  refocused_source(h);
  printf('test_varnel: passed\n');
end

function m = reference_mean(S, rows, cols, C)
  E = angular_entropy_reference(S, rows, cols, C, 'round');
  m = double((E(:, :, 1) + E(:, :, 2)) + E(:, :, 3)) / 3;
end

% Samples in range of the rounded rule with many at halves and just below.
function S = fractional_samples(rows, cols, C)
  S = rand(rows * C, cols * C, 3) * 255.98 - 0.49;
  n = numel(S);
  k = randi([0 254], n, 1) + 0.5;
  pick = randi(5, n, 1);
  S(pick == 1) = k(pick == 1);                                    % ties: away from zero
  S(pick == 2) = k(pick == 2) - 2^-30;                            % narrows onto the tie
  below = double(single(k) - eps(single(k)));                     % the float below the tie
  S(pick == 3) = below(pick == 3);
end

function counts(h)
  S = zeros(2, 2, 3);
  m = zeros(1);
  for n = [0 1 6 8 10]
    args = {1, 1, 2, 0, 0, S, m, 0, 0, 0};
    h.expect_error('varnel:inputCount', @() varnel(args{1:n}), 'Seven input arguments required.');
  end
  % The input count is checked first, even when outputs are asked for too.
  h.expect_error('varnel:inputCount', @() two_outputs(1, 1, 2, 0, 0, S), 'Seven input arguments required.');
  h.expect_error('varnel:outputCount', @() two_outputs(1, 1, 2, 0, 0, S, m), 'Too many output arguments.');
  % One output is accepted; none is assigned, and the host then says so.
  S(:, :, 1) = [10 20; 20 10];
  try
    x = varnel(1, 1, 2, 0, 0, S, m);
  catch e
    h.check(isempty(strfind(e.identifier, 'varnel:')), 'one output rejected: %s', e.message);
  end
  h.check(abs(m - log(2) / 3) < 1e-7, 'one output: map not written (%g)', m);
end

function two_outputs(varargin)
  [a, b] = varnel(varargin{:});
end

function exact_bits(h)
  rows = 60; cols = 70; C = 9;
  sources = {randi([0 255], rows * C, cols * C, 3), fractional_samples(rows, cols, C)};
  names = {'integer samples', 'fractional samples'};
  for t = 1:2
    m = zeros(rows, cols);
    varnel(cols, rows, C, 0, 0, sources{t}, m);
    h.same_bits(m, reference_mean(sources{t}, rows, cols, C), names{t});
  end
  % The worked example: two samples of 10 and two of 20 in plane 0; planes 1
  % and 2 each in one bin, which 2.4999999999 reaches by narrowing to 2.5.
  S = cat(3, [10 20; 20 10], [2.5 2.4999999999; 3 3.4], [0.4 -0.4; 0.3 -0.2]);
  m = zeros(1);
  varnel(1, 1, 2, 0, 0, S, m);
  h.check(abs(m - 0.231049) < 1e-6, 'C = 2 example: %.9g', m);
  h.same_bits(m, reference_mean(S, 1, 1, 2), 'C = 2 example');
end

function rejected_samples(h)
  rows = 3; cols = 4; C = 3;
  base = randi([0 255], rows * C, cols * C, 3);
  % (value, linear element, pixel r c, angular a b, plane), all 1-based.
  cases = {
    255.5,              [5 1 1 5 0 1]          % row 5 = pixel row 2, a = 2
    NaN,                [1 1 1 1 1 1]
    -0.5,               [108 0 0 0 0 0]
    Inf,                [200 0 0 0 0 0]
    -Inf,               [324 0 0 0 0 0]
    1e300,              [77 0 0 0 0 0]
    255.5 - 2^-17,      [40 0 0 0 0 0]         % narrows onto 255.5
    -(0.5 - 2^-26),     [41 0 0 0 0 0]         % narrows onto -0.5
  };
  for t = 1:size(cases, 1)
    value = cases{t, 1};
    at = cases{t, 2}(1);
    S = base;
    S(at) = value;
    kept = S;
    kept(1) = kept(1);  % its own data, not shared with S
    m = repmat(-7, rows, cols);
    [i, j, k] = ind2sub(size(S), at);
    place = sprintf('got %s at element %d (pixel (%d, %d), angular sample (%d, %d), plane %d; 1-based).', ...
                    sprintf('%.17g', value), at, floor((i - 1) / C) + 1, floor((j - 1) / C) + 1, ...
                    mod(i - 1, C) + 1, mod(j - 1, C) + 1, k);
    h.expect_error('varnel:sampleOutOfRange', @() varnel(cols, rows, C, 0, 0, S, m), place);
    h.same_bits(m, repmat(-7, rows, cols), sprintf('map after rejecting %g', value));
    h.same_bits(S, kept, sprintf('source after rejecting %g', value));
  end
  % Just inside the range: accepted.
  S = base;
  S(40) = 255.5 - 2^-17 - 2^-40;
  S(41) = -(0.5 - 2^-26) + 2^-50;
  m = zeros(rows, cols);
  varnel(cols, rows, C, 0, 0, S, m);
  h.same_bits(m, reference_mean(S, rows, cols, C), 'samples at the range ends');
  % Two faults: the one in the earlier pixel is named though it lies later in memory.
  S = zeros(4, 4, 3);
  S(3, 1, 1) = 300;  % pixel (2, 1), plane 1
  S(2, 2, 3) = NaN;  % pixel (1, 1), plane 3
  h.expect_error('varnel:sampleOutOfRange', @() varnel(2, 2, 2, 0, 0, S, zeros(2)), ...
                 'got NaN at element 38 (pixel (1, 1), angular sample (2, 2), plane 3; 1-based).');
  % Samples beyond the layout are never read.
  S = zeros(4, 4, 4);
  S(:, :, 4) = NaN;
  m = zeros(2);
  varnel(2, 2, 2, 0, 0, S, m);
  h.check(all(m(:) == 0), 'trailing elements were read');
end

function rejected_arguments(h)
  S = zeros(6, 6, 3);
  m = repmat(5, 2, 2);
  cases = {
    'varnel:arrayTooSmall', {2, 2, 3, 0, 0, S, zeros(2, 1)}
    'varnel:arrayTooSmall', {2, 2, 3, 0, 0, zeros(6, 6, 2), m}
    'varnel:arrayTooSmall', {2, 3, 3, 0, 0, S, zeros(3, 2)}
    'varnel:badArray',      {2, 2, 3, 0, 0, S, single(m)}
    'varnel:badArray',      {2, 2, 3, 0, 0, uint8(S), m}
    'varnel:badArray',      {2, 2, 3, 0, 0, S, complex(m, 1)}
    'varnel:badArray',      {2, 2, 3, 0, 0, {S}, m}
    'varnel:badArray',      {2, 2, 3, 0, 0, S, sparse(m)}
    'varnel:sharedData',    {2, 2, 3, 0, 0, S, S}
    'varnel:emptyScalar',   {[], 2, 3, 0, 0, S, m}
    'varnel:badScalar',     {2, 'b', 3, 0, 0, S, m}
    'varnel:badScalar',     {2, 2, {3}, 0, 0, S, m}
    'varnel:badScalar',     {2, 2, struct('C', 3), 0, 0, S, m}
  };
  for t = 1:size(cases, 1)
    h.expect_error(cases{t, 1}, @() varnel(cases{t, 2}{:}));
  end
  % A map made by copying the source shares its data until written.
  shared = S;
  h.expect_error('varnel:sharedData', @() varnel(2, 2, 3, 0, 0, S, shared));
  h.same_bits(m, repmat(5, 2, 2), 'map after rejected calls');
  h.check(all(S(:) == 0), 'source changed by rejected calls');
end

function ignored_inputs(h)
  rows = 4; cols = 5; C = 3;
  S = randi([0 255], rows * C, cols * C, 3);
  want = reference_mean(S, rows, cols, C);
  anything = {{}, struct('a', 1), 'text', [], {1, 2}, @sin, int8(-5), NaN, single(1e30), zeros(0, 3), true};
  for t = 1:numel(anything)
    m = zeros(rows, cols);
    varnel(cols, rows, C, anything{t}, anything{end + 1 - t}, S, m);
    h.same_bits(m, want, sprintf('ignored inputs, case %d', t));
  end
end

function sizes(h)
  S = randi([0 255], 9, 12, 3);
  want = reference_mean(S, 3, 4, 3);
  % Truncation toward zero, first element only, any numeric class.
  forms = {{4.9, 3.99, 3}, {[4 100], 3, [3 0]}, {int16(4), uint8(3), single(3.5)}, {4, true * 3, 3}};
  for t = 1:numel(forms)
    m = zeros(3, 4);
    varnel(forms{t}{1}, forms{t}{2}, forms{t}{3}, 0, 0, S, m);
    h.same_bits(m, want, sprintf('size form %d', t));
  end
  % C <= 0 (NaN converts to the most negative size): every element negative zero.
  for C = [0 -1 -7 NaN -1e12]
    m = repmat(9, 3, 4);
    varnel(4, 3, C, 0, 0, zeros(0, 0), m);
    h.same_bits(m, -zeros(3, 4), sprintf('C = %g', C));
  end
  % rows or cols <= 0: nothing is written, whatever the other sizes.
  for rc = {[0 4], [3 0], [-2 4], [3 -1e12], [NaN 4]}
    m = repmat(9, 3, 4);
    varnel(rc{1}(2), rc{1}(1), 3, 0, 0, zeros(0, 0), m);
    h.same_bits(m, repmat(9, 3, 4), sprintf('rows %g cols %g', rc{1}(1), rc{1}(2)));
  end
end

% olmarin's refocused light field has the layout varnel reads.
function refocused_source(h)
  rows = 60; cols = 70; C = 9; D = 4;
  S = randi([0 255], rows * C, cols * C, 3);
  T = zeros(size(S));
  I = zeros(rows, cols, 3);
  olmarin(cols, rows, C, D, S, T, I, 0.37);
  h.check(any(T(:) ~= round(T(:))), 'refocused samples should not all be whole');
  m = zeros(rows, cols);
  varnel(cols, rows, C, 0, 0, T, m);
  h.same_bits(m, reference_mean(T, rows, cols, C), 'refocused source');
end
