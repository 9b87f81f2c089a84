% The batch driver over small synthetic light fields (folders of PNG views
% and MAT-files, with and without ground truth, and bad ones): two shards in
% two Octave processes at once, a run killed part-way and resumed, skipping
% and overwriting finished inputs, and its argument checks.
function test_lf_depth_batch(octave)
  if nargin < 1
    octave = fullfile(OCTAVE_HOME(), 'bin', 'octave-cli');
  end
  h = lf_test_helpers();
  root = tempname();
  mkdir(root);
  cleanup = onCleanup(@() remove_folder(root));
  % Until the scoring helper is on the path, a stand-in with the benchmark's
  % definitions, in this test only.
  if ~exist('lf_disparity_score', 'file')
    mkdir(fullfile(root, 'standin'));
    write_text(fullfile(root, 'standin', 'lf_disparity_score.m'), sprintf([ ...
      'function s = lf_disparity_score(d, gt)\n' ...
      '  e = abs(double(d(:)) - double(gt(:)));\n' ...
      '  s = struct(''badpix07'', 100 * mean(e > 0.07), ''badpix03'', 100 * mean(e > 0.03), ...\n' ...
      '             ''badpix01'', 100 * mean(e > 0.01), ''mse100'', 100 * mean(e .^ 2));\n' ...
      'end\n']));
    addpath(fullfile(root, 'standin'));
  end
  items = make_inputs(root);
  options = {'Pattern', 'input_Cam*.png', 'Shifts', -1.75:0.125:1.75};
  save(fullfile(root, 'job.mat'), 'items', 'options');
  runner = job_runner(root, octave);

  % Two shards at once share the list without talking to each other.
  sharded = fullfile(root, 'sharded');
  runner.start('shard1', sharded, [1 2]);
  runner.start('shard2', sharded, [2 2]);
  runner.finish('shard1');
  runner.finish('shard2');
  check_run(items, sharded, {'summary-1of2.tsv', 1:2:numel(items); 'summary-2of2.tsv', 2:2:numel(items)}, ...
            struct('rows', struct('name', {}), 'finished', {{}}));

  killed = kill_after_first(root, runner, items);
  % What kills at other moments would leave: temporaries, and an unfinished
  % input's first output, damaged (of a good input, and of one that has
  % since gone bad).
  finished = cellfun(@(n) isfile(fullfile(killed, n, 'preview.png')), {items.name});
  unfinished = fullfile(killed, items(find(strcmp({items.status}, 'ok') & ~finished, 1)).name);
  if ~isfolder(unfinished)
    mkdir(unfinished);
  end
  mkdir(fullfile(killed, 'bad_size'));
  write_text(fullfile(killed, items(1).name, 'preview.png.tmp'), 'half');
  write_text(fullfile(unfinished, 'confidence.pfm.tmp'), 'half');
  write_text(fullfile(unfinished, 'disparity.pfm'), 'damaged');
  write_text(fullfile(killed, 'bad_size', 'disparity.pfm'), 'damaged');
  % The kill may fall between an input's last output and its summary row.
  before.rows = struct('name', {});
  if isfile(fullfile(killed, 'summary.tsv'))
    before.rows = summary_rows(fullfile(killed, 'summary.tsv'));
  end
  before.finished = {items(finished).name};
  runner.start('resume', killed, [1 1]);
  runner.finish('resume');
  check_run(items, killed, {'summary.tsv', 1:numel(items)}, before);

  check_skip_and_overwrite(items, options, killed);
  % A ground truth of another size: the depth stands, the scores fail.
  mkdir(fullfile(root, 'odd_truth'));
  copyfile(fullfile(root, 'scene_plain', 'scene_plain.mat'), fullfile(root, 'odd_truth'));
  lf_write_pfm(fullfile(root, 'odd_truth', 'gt_disp_lowres.pfm'), zeros(3));
  s = lf_depth_batch({fullfile(root, 'odd_truth', 'scene_plain.mat')}, fullfile(root, 'odd'), options{:});
  assert(~strcmp(s.status, 'ok') && strncmp(s.note, 'scoring against', 15) && isnan(s.badpix07) ...
         && isfile(fullfile(root, 'odd', 'scene_plain', 'preview.png')), 'an unscorable truth: %s', s.note);
  % A shard with no inputs still leaves its summary, the header alone.
  empty = fullfile(root, 'empty');
  s = lf_depth_batch({items(1).path}, empty, 'Shard', [2 3]);
  assert(isempty(s) && numel(regexp(fileread(fullfile(empty, 'summary-2of3.tsv')), '\n')) == 1, 'an empty shard''s summary');
  check_rejections(h, root);
  disp('test_lf_depth_batch: all checks passed');
end

% Good inputs (both kinds, rows unlike columns, odd grid sizes, some with
% ground truth) between bad ones, each with the status it must get.
function items = make_inputs(root)
  for f = {'views_gt', 'scene_gt', 'bad_size', 'views_plain', 'bad', 'scene_plain'}
    mkdir(fullfile(root, f{1}));
  end
  % Name, where, kind, rows, cols, C, ground truth beside it, status.
  table = {
    'views_gt',     'views_gt',                     'views', 32, 32, 5, true,  'ok'
    'scene_gt',     'scene_gt/scene_gt.mat',        'mat',   28, 24, 5, true,  'ok'
    'bad_size',     'bad_size',                     'views', 32, 32, 5, false, 'lf_read_views:sizeMismatch'
    'missing 100%', 'missing 100%.mat',             'none',  0,  0,  0, false, 'lf_depth_batch:notFound'
    'views_plain',  'views_plain',                  'views', 24, 28, 3, false, 'ok'
    'no_c',         'bad/no_c.mat',                 'mat',   16, 16, 3, false, 'lf_depth_batch:badMatFile'
    'scene_plain',  'scene_plain/scene_plain.mat',  'mat',   20, 20, 7, false, 'ok'
    'corrupt',      'bad/corrupt.mat',              'junk',  0,  0,  0, false, 'lf_depth_batch:unreadable'
  };
  for i = 1:rows(table)
    [name, where, kind, r, c, C, with_truth, status] = table{i, :};
    path = fullfile(root, where);
    switch kind
      case 'views'
        [V, truth] = lf_synthetic_scene(r, c, C);
        for n = 1:C * C
          img = uint8(round(squeeze(V(ceil(n / C), mod(n - 1, C) + 1, :, :, :))));
          if strcmp(name, 'bad_size') && n == 7
            img = img(1:end - 2, :, :);
          end
          imwrite(img, fullfile(path, sprintf('input_Cam%03d.png', n - 1)));
        end
        % Read only through the pattern.
        imwrite(uint8(zeros(4, 4, 3)), fullfile(path, 'thumbnail.png'));
      case 'mat'
        [R, truth] = lf_synthetic_scene(r, c, C, [], 'remapped');
        if strcmp(name, 'no_c')
          save(path, 'R');
        else
          save(path, 'R', 'C');
        end
      case 'junk'
        write_text(path, 'not a MAT-file');
    end
    truth_file = '';
    if with_truth
      truth_file = fullfile(ifelse(isfolder(path), path, fileparts(path)), 'gt_disp_lowres.pfm');
      lf_write_pfm(truth_file, truth);
    end
    items(i) = struct('name', name, 'path', path, 'size', [r c C], 'truth', truth_file, 'status', status);
  end
end

function out = ifelse(condition, yes, no)
  if condition
    out = yes;
  else
    out = no;
  end
end

% Starts Octave processes that run the batch over the list saved in
% job.mat, each writing its process id and, at its end, its exit code.
function runner = job_runner(root, octave)
  % This process's path, in its order, so that they run the same code.
  setup = sprintf('path(''%s'');\n', path());
  runner.start = @(tag, outdir, shard) start_job(root, octave, setup, tag, outdir, shard);
  runner.finish = @(tag) finish_job(root, tag, true);
  runner.ended = @(tag) finish_job(root, tag, false);
  runner.pid = @(tag) job_pid(root, tag);
end

function start_job(root, octave, setup, tag, outdir, shard)
  write_text(fullfile(root, [tag '.m']), [setup ...
    sprintf('fid = fopen(''%s.pid'', ''w''); fprintf(fid, ''%%d'', getpid()); fclose(fid);\n', tag) ...
    sprintf('load(''job.mat''); lf_depth_batch({items.path}, ''%s'', options{:}, ''Shard'', %s);\n', ...
            outdir, mat2str(shard))]);
  status = system(sprintf('(cd ''%s'' && ''%s'' --norc --no-history --quiet %s.m > %s.log 2>&1; echo $? > %s.rc) > /dev/null 2>&1 &', ...
                          root, octave, tag, tag, tag));
  assert(status == 0, '%s: could not start %s', tag, octave);
end

% Waits for the job's end; a job that must succeed shows its log otherwise.
function code = finish_job(root, tag, must_succeed)
  rc = fullfile(root, [tag '.rc']);
  started = tic;
  while ~(isfile(rc) && ~isempty(strtrim(fileread(rc))))
    assert(toc(started) < 120, '%s: no end after 120 s', tag);
    pause(0.02);
  end
  code = str2double(fileread(rc));
  if must_succeed && code ~= 0
    error('%s: exit code %d:\n%s', tag, code, fileread(fullfile(root, [tag '.log'])));
  end
end

function pid = job_pid(root, tag)
  file = fullfile(root, [tag '.pid']);
  pid = NaN;
  if isfile(file)
    pid = str2double(fileread(file));
  end
end

% Runs the whole list in one process and kills it once the first input's
% outputs are there; tries again on a fresh folder, up to three times, if
% the run ends first (a busy machine can stall the watcher).
function outdir = kill_after_first(root, runner, items)
  good = strcmp({items.status}, 'ok');
  for attempt = 1:3
    tag = sprintf('killed%d', attempt);
    outdir = fullfile(root, tag);
    runner.start(tag, outdir, [1 1]);
    marker = fullfile(outdir, items(1).name, 'preview.png');
    started = tic;
    while ~isfile(marker) && ~isfile(fullfile(root, [tag '.rc']))
      assert(toc(started) < 120, '%s: no output after 120 s', tag);
      pause(0.005);
    end
    pid = runner.pid(tag);
    assert(~isnan(pid), '%s: no process id', tag);
    system(sprintf('kill -9 %d', pid));
    code = runner.ended(tag);
    finished = cellfun(@(n) isfile(fullfile(outdir, n, 'preview.png')), {items(good).name});
    if code == 128 + 9 && ~all(finished)
      return;
    end
    assert(any(code == [0 128 + 9]), '%s: exit code %d:\n%s', tag, code, fileread(fullfile(root, [tag '.log'])));
  end
  error('the batch ended before it could be killed, three times');
end

% Every good input has its three outputs, holding the sweep's results,
% exactly once; a bad one has none and its identifier in the summary; the
% summaries list their shard's inputs in order, and nothing else is left.
% A row of an input finished before is its earlier row, marked skipped.
function check_run(items, outdir, summaries, earlier)
  header = strjoin({'name', 'rows', 'cols', 'views', 'shift_from', 'shift_to', 'shifts', 'seconds', ...
                    'status', 'badpix07', 'badpix03', 'badpix01', 'mse100', 'note'}, "\t");
  seen = zeros(1, numel(items));
  good = {items(strcmp({items.status}, 'ok')).name};
  listed = dir(outdir);
  assert(isempty(setxor({listed.name}, [{'.', '..'}, good, summaries(:, 1)'])), ...
         '%s holds %s', outdir, strjoin({listed.name}, ', '));
  for s = 1:rows(summaries)
    [rows_read, text] = summary_rows(fullfile(outdir, summaries{s, 1}));
    assert(strncmp(text, [header "\n"], numel(header) + 1), '%s: header is not the columns', summaries{s, 1});
    assert(isequal({rows_read.name}, {items(summaries{s, 2}).name}), '%s lists %s', summaries{s, 1}, ...
           strjoin({rows_read.name}, ', '));
    for i = summaries{s, 2}
      seen(i) += 1;
      check_item(items(i), outdir, rows_read(strcmp({rows_read.name}, items(i).name)), earlier);
    end
  end
  assert(all(seen == 1), 'an input is in no summary or in several');
end

function check_item(item, outdir, row, earlier)
  what = [outdir ': ' item.name];
  assert(strcmp(row.status, item.status), '%s: status %s, want %s (%s)', what, row.status, item.status, row.note);
  folder = fullfile(outdir, item.name);
  if ~strcmp(item.status, 'ok')
    assert(~isfolder(folder), '%s: a bad input has outputs', what);
    assert(~isempty(row.note) && isnan(row.shifts), '%s: a bad input''s row: %s', what, row.note);
    % Our own messages name the input as given, whatever its characters.
    assert(~strncmp(row.status, 'lf_depth_batch:', 15) || ~isempty(strfind(row.note, item.path)), ...
           '%s: the message does not name the input: %s', what, row.note);
    return;
  end
  files = dir(folder);
  assert(isequal(sort({files(~[files.isdir]).name}), {'confidence.pfm', 'disparity.pfm', 'preview.png'}), ...
         '%s holds %s', what, strjoin({files.name}, ', '));
  [R, C] = input_light_field(item);
  [d, confidence] = lf_disparity_sweep(R, C, -1.75:0.125:1.75);
  stored = lf_read_pfm(fullfile(folder, 'disparity.pfm'));
  assert(isequal(stored, single(d)), '%s: disparity.pfm is not the sweep''s map', what);
  assert(isequal(lf_read_pfm(fullfile(folder, 'confidence.pfm')), single(confidence)), '%s: confidence.pfm', what);
  assert(isequal(imread(fullfile(folder, 'preview.png')), lf_disparity_preview(double(stored))), '%s: preview.png', what);
  if any(strcmp(earlier.finished, item.name))
    assert(strcmp(row.note, 'skipped'), '%s: finished before, but not skipped', what);
    previous = earlier.rows(strcmp({earlier.rows.name}, item.name));
    if isempty(previous)
      fields = struct2cell(rmfield(row, {'name', 'status', 'note'}));
      assert(all(isnan([fields{:}])), '%s: a skipped row without an earlier row', what);
    else
      row.note = previous.note;
      assert(isequaln(row, previous), '%s: a skipped row is not its earlier row', what);
    end
    return;
  end
  assert(isempty(row.note), '%s: note %s', what, row.note);
  assert(isequal([row.rows row.cols row.views row.shift_from row.shift_to row.shifts], [item.size -1.75 1.75 29]) ...
         && row.seconds >= 0, '%s: size or shifts in the row', what);
  scores = [row.badpix07 row.badpix03 row.badpix01 row.mse100];
  if ~isempty(item.truth)
    s = lf_disparity_score(double(stored), double(lf_read_pfm(item.truth)));
    want = [s.badpix07 s.badpix03 s.badpix01 s.mse100];
    assert(all(abs(scores - want) <= 1e-5 * max(1, abs(want))), '%s: scores %s, want %s', what, ...
           mat2str(scores), mat2str(want));
  else
    assert(all(isnan(scores)), '%s: scores without a ground truth', what);
  end
end

function [R, C] = input_light_field(item)
  if isfolder(item.path)
    V = lf_read_views(item.path, 'input_Cam*.png');
    C = size(V, 1);
    R = lf_views_to_remapped(V);
  else
    S = load(item.path);
    R = S.R;
    C = S.C;
  end
end

function [rows_read, text] = summary_rows(file)
  text = fileread(file);
  lines = regexp(text, "\n", "split");
  assert(isempty(lines{end}), '%s does not end its last line', file);
  columns = regexp(lines{1}, "\t", "split");
  rows_read = struct('name', {});
  for i = 2:numel(lines) - 1
    fields = regexp(lines{i}, "\t", "split");
    assert(numel(fields) == numel(columns), '%s: line %d has %d fields', file, i, numel(fields));
    for c = 1:numel(columns)
      value = fields{c};
      if ~any(strcmp(columns{c}, {'name', 'status', 'note'}))
        value = str2double(value);
      end
      rows_read(i - 1).(columns{c}) = value;
    end
  end
end

% Finished inputs are skipped, and redone with 'Overwrite'; 'Progress' gives
% a line per input.
function check_skip_and_overwrite(items, options, outdir)
  file = fullfile(outdir, 'views_gt', 'confidence.pfm');
  want = lf_read_pfm(file);
  earlier = summary_rows(fullfile(outdir, 'summary.tsv'));
  lf_write_pfm(file, zeros(2));
  for overwrite = [false true]
    text = evalc('s = lf_depth_batch({items(1:4).path}, outdir, options{:}, ''Overwrite'', overwrite, ''Progress'', true);');
    lines = regexp(text, 'lf_depth_batch: \d/4 [^\n]*', 'match');
    assert(numel(lines) == 4, 'progress lines:\n%s', text);
    assert(isequal({s.status}, {items(1:4).status}), 'statuses %s', strjoin({s.status}, ', '));
    skipped = strcmp({s.note}, 'skipped');
    assert(isequal(skipped, ~overwrite & [true true false false]), 'overwrite %d: skipped %s', overwrite, mat2str(skipped));
    if ~overwrite
      assert(isequaln(rmfield(s(1:2), 'note'), rmfield(earlier(1:2)', 'note')), 'skipped rows are not the earlier rows');
    end
    assert(isequal(lf_read_pfm(file), ifelse(overwrite, want, single(zeros(2)))), 'overwrite %d: confidence.pfm', overwrite);
  end
end

function check_rejections(h, root)
  outdir = fullfile(root, 'rejected');
  cases = {
    'lf_depth_batch:badInputs',     {42, outdir}
    'lf_depth_batch:badInputs',     {{'.'}, outdir}
    'lf_depth_batch:duplicateName', {{'one/x.mat', 'two/x.mat'}, outdir}
    'lf_depth_batch:badOutdir',     {{'a'}, 5}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'Shard'}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'Shard', [3 2]}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'Shifts', [0 NaN]}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'Pattern', 3}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'Refine', 'yes'}
    'lf_depth_batch:badOption',     {{'a'}, outdir, 'NoSuchOption', 1}
  };
  for n = 1:rows(cases)
    h.expect_error(cases{n, 1}, @() lf_depth_batch(cases{n, 2}{:}));
    % A refused call writes nothing.
    assert(~isfolder(outdir), 'case %d: a refused call made the output folder', n);
  end
end

function write_text(file, text)
  fid = fopen(file, 'w');
  fprintf(fid, '%s', text);
  fclose(fid);
end

function remove_folder(folder)
  confirm_recursive_rmdir(false, 'local');
  rmdir(folder, 's');
end
