% lf_shrunk_entropy_sweep in the real host: bit for bit lf_entropy_sweep of
% the views shrunk in m-code, the same fault message, and every error id.
function test_lf_shrunk_entropy_sweep()
  rand('seed', 23);
  h = lf_test_helpers();
  check_against_m_code_shrink(h);
  check_errors(h);
  disp('test_lf_shrunk_entropy_sweep: all checks passed');
end

function small = shrink(R, C, k)
  pick = @(n) reshape(bsxfun(@plus, (1:C)', (0:n - 1) * k * C), 1, []);
  small = R(pick(floor(size(R, 1) / C / k)), pick(floor(size(R, 2) / C / k)), :);
end

function check_against_m_code_shrink(h)
  % rows, cols, C, k, shifts, threads
  cases = {
    21, 17, 5, 2, [0 -0.6 1.25 -1.75], 2
    21, 17, 5, 4, [0.5; -0.25],         1
    13, 11, 9, 2, [-0.3 0.9 0],         2
    13, 11, 9, 1, [-0.3 0.9],           1
    9,  10, 9, 3, 2.5,                  2
    3,  5,  5, 4, [0 1],                1
    8,  6,  5, 2, zeros(1, 0),          2
  };
  for n = 1:rows(cases)
    [r, c, C, k, shifts, threads] = cases{n, :};
    R = round(rand(r * C, c * C, 3) * 1020) / 4;
    before = R + 0;
    E = lf_shrunk_entropy_sweep(R, C, k, shifts, 'Threads', threads);
    h.same_bits(E, lf_entropy_sweep(shrink(R, C, k), C, shifts), sprintf('case %d', n));
    h.same_bits(R, before, sprintf('case %d: the light field', n));
  end
  % Out of range on the shrunk field: the sweep's own message there.
  R = round(rand(12 * 3, 8 * 3, 3) * 1020) / 4;
  R(6 * 3 + 2, 2 * 3 + 1, 2) = 300;
  R(5 * 3 + 1, 3 * 3 + 2, 1) = NaN;  % a row that shrinking drops
  for shifts = {[0 0.5], [0.25 NaN]}
    got = h.expect_error('lf_shrunk_entropy_sweep:sampleOutOfRange', ...
                         @() lf_shrunk_entropy_sweep(R, 3, 2, shifts{1}));
    want = h.expect_error('lf_entropy_sweep:sampleOutOfRange', @() lf_entropy_sweep(shrink(R, 3, 2), 3, shifts{1}));
    assert(strcmp(strrep(got.message, 'lf_shrunk_entropy_sweep', 'lf_entropy_sweep'), want.message), ...
           'fault: "%s" against "%s"', got.message, want.message);
  end
end

function check_errors(h)
  R = zeros(6, 9, 3);
  bad = {
    {R, 3, 1}, 'inputCount'
    {R, 3, 1, 0, 'Threads'}, 'inputCount'
    {single(R), 3, 1, 0}, 'badArray'
    {zeros(6, 9), 3, 1, 0}, 'sourceSize'
    {zeros(6, 8, 3), 3, 1, 0}, 'sourceSize'
    {R, [3 3], 1, 0}, 'badScalar'
    {R, [], 1, 0}, 'emptyScalar'
    {R, 2, 1, 0}, 'angularSize'
    {R, 3, [1 2], 0}, 'badScalar'
    {R, 3, [], 0}, 'emptyScalar'
    {R, 3, 0, 0}, 'shrinkFactor'
    {R, 3, 1.5, 0}, 'shrinkFactor'
    {R, 3, NaN, 0}, 'shrinkFactor'
    {R, 3, 1, ones(2)}, 'badShifts'
    {R, 3, 1, single(0)}, 'badShifts'
    {R, 3, 1, 0, 'Thread', 1}, 'badOption'
    {R, 3, 1, 0, 'Threads', 0}, 'badOption'
  };
  for n = 1:rows(bad)
    args = bad{n, 1};
    h.expect_error(['lf_shrunk_entropy_sweep:' bad{n, 2}], @() lf_shrunk_entropy_sweep(args{:}));
  end
  h.expect_error('lf_shrunk_entropy_sweep:outputCount', @() two_outputs(R));
end

function two_outputs(R)
  [a, b] = lf_shrunk_entropy_sweep(R, 3, 1, 0); %#ok<ASGLU>
end
