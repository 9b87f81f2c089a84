function summary = lf_depth_batch(inputs, outdir, varargin)
%LF_DEPTH_BATCH  Disparity maps for a list of light fields, resumable and shardable.
%   LF_DEPTH_BATCH(INPUTS, OUTDIR) runs LF_DISPARITY_SWEEP on every light
%   field in INPUTS, a cell array of paths (char or string), each one
%     a folder of views, read by LF_READ_VIEWS (see 'Pattern'), or
%     a MAT-file holding R, the remapped light field, and C, its grid size.
%   An input's name is its path's last component, without the extension for
%   a MAT-file (a folder's name is taken whole); two inputs of one name are
%   refused before anything runs. For each input NAME it writes
%     OUTDIR/NAME/disparity.pfm    the disparity map (LF_WRITE_PFM),
%     OUTDIR/NAME/confidence.pfm   its confidence, 0..1,
%     OUTDIR/NAME/preview.png      a colour picture of the disparity map
%                                  (LF_DISPARITY_PREVIEW),
%   and one row of a tab-separated summary, OUTDIR/summary.tsv (one header
%   line, then a row per input in list order) with the columns
%     name, rows, cols, views (C), shift_from, shift_to, shifts (their
%     count; empty when the sweep chose them and does not report them),
%     seconds, status ('ok' or the error's identifier), badpix07,
%     badpix03, badpix01, mse100 (LF_DISPARITY_SCORE against a ground
%     truth gt_disp_lowres.pfm in the views folder or beside the MAT-file;
%     empty without one), note (the error's message, or 'skipped').
%   Numbers absent are empty fields. The scores are those of the map as
%   stored (single precision), as anyone re-scoring the PFM finds them.
%
%   A bad input (missing, unreadable, a MAT-file without R or C, views
%   missing or of the wrong size, samples out of range) gets no outputs,
%   only its row with the error's identifier, and the run goes on. Errors of
%   the call itself (an unknown option, an output folder that cannot be
%   made or a summary that cannot be written) stop it. A ground truth that
%   cannot be scored (of another size) leaves the outputs in place and puts
%   its error's identifier in the status.
%
%   Resuming: an input whose three outputs are all present is finished and
%   skipped; its row is its row from an earlier summary in OUTDIR (the
%   shard's own first), with the note 'skipped' (name and status only when
%   no earlier row is found). Every file is written under a temporary name
%   (the final name with '.tmp' added) in its folder and then renamed, and
%   the picture last, so a killed run leaves no half-written file and its
%   unfinished inputs are redone; the next run removes the temporaries and
%   partial outputs of its own inputs. The summary is rewritten the same way
%   after each input.
%
%   SUMMARY = LF_DEPTH_BATCH(...) also returns the rows as a struct array
%   with one field per column (numbers as double, NaN where absent).
%
%   Options, as name, value pairs:
%     'Pattern'    a file pattern for LF_READ_VIEWS, such as
%                  'input_Cam*.png' (default: every image file).
%     'Shifts'     the shift factors for every input (default []: the
%                  sweep chooses them per input).
%     'Overwrite'  false (default); true: redo finished inputs too (their
%                  old outputs are removed first).
%     'Shard'      [K N]: only the inputs K, K+N, K+2N, ... (K from 1), and
%                  the summary OUTDIR/summary-KofN.tsv, so that N processes
%                  share one list without talking to each other (a job
%                  array, GNU parallel, xargs -P, parfor). Default [1 1].
%     'Progress'   false (default); true: a line per input.
%   Any other name, value pair ('Refine', 'Smooth', ...) goes to
%   LF_DISPARITY_SWEEP for every input.
%
%   Example
%     list = {'scenes/boxes', 'scenes/cotton', 'captures/desk.mat'};
%     s = lf_depth_batch(list, 'depth', 'Pattern', 'input_Cam*.png', 'Progress', true);
%     % one of four processes:
%     lf_depth_batch(list, 'depth', 'Shard', [2 4]);
%
%   See also LF_DISPARITY_SWEEP, LF_READ_VIEWS, LF_WRITE_PFM,
%   LF_DISPARITY_PREVIEW, LF_DISPARITY_SCORE.

  [paths, outdir, opt, pass] = check_arguments(inputs, outdir, varargin);
  names = cellfun(@input_name, paths, 'UniformOutput', false);
  check_names(paths, names);
  check_sweep_options(pass);
  message = make_folder(outdir);
  if ~isempty(message)
    fail('badOutdir', ['cannot make the output folder ''' outdir ''': ' message]);
  end
  k = opt.shard(1);
  n = opt.shard(2);
  if n == 1
    own = 'summary.tsv';
  else
    own = sprintf('summary-%dof%d.tsv', k, n);
  end
  summary_file = fullfile(outdir, own);
  previous = earlier_rows(outdir, own);
  % Whether the sweep reports the shifts it chose.
  opt.sweep_info = nargout('lf_disparity_sweep');
  opt.sweep_info = opt.sweep_info >= 5 || opt.sweep_info < 0;

  mine = k:n:numel(paths);
  summary = repmat(empty_row(''), 0, 1);
  % A shard with nothing to do still says so.
  if isempty(mine)
    write_summary(summary_file, summary);
  end
  for i = 1:numel(mine)
    j = mine(i);
    folder = fullfile(outdir, names{j});
    outputs = fullfile(folder, {'disparity.pfm', 'confidence.pfm', 'preview.png'});
    for f = 1:3
      remove_if_present([outputs{f} '.tmp']);
    end
    if ~opt.overwrite && all(cellfun(@isfile, outputs))
      row = previous_row(previous, names{j});
      row.note = 'skipped';
    else
      % The picture first: without it an input is unfinished.
      for f = 3:-1:1
        remove_if_present(outputs{f});
      end
      row = run_one(paths{j}, names{j}, folder, outputs, opt, pass);
    end
    summary(end + 1, 1) = row; %#ok<AGROW>
    write_summary(summary_file, summary);
    if opt.progress
      fprintf('%s\n', progress_line(i, numel(mine), row));
    end
  end
end

function row = run_one(path, name, folder, outputs, opt, pass)
  row = empty_row(name);
  started = tic;
  try
    [R, C, truth_file] = read_input(path, opt.pattern);
    if opt.sweep_info
      [d, confidence, ~, ~, info] = lf_disparity_sweep(R, C, opt.shifts, pass{:});
      used = [];
      if isstruct(info) && isfield(info, 'shifts')
        used = info.shifts;
      end
    else
      [d, confidence] = lf_disparity_sweep(R, C, opt.shifts, pass{:});
      used = opt.shifts;
    end
    % Sizes only once the sweep has taken the light field as well formed.
    [row.rows, row.cols] = size(d);
    row.views = double(C);
    clear R;
    if ~isempty(used)
      row.shift_from = min(used);
      row.shift_to = max(used);
      row.shifts = numel(used);
    end
    % What is stored is single; the picture and the scores describe that.
    d = double(single(d));
    message = make_folder(folder);
    if ~isempty(message)
      fail('cannotWrite', ['cannot make ''' folder ''': ' message]);
    end
    write_renamed(outputs{1}, @(file) lf_write_pfm(file, d));
    write_renamed(outputs{2}, @(file) lf_write_pfm(file, confidence));
    write_renamed(outputs{3}, @(file) imwrite(lf_disparity_preview(d), file, 'png'));
  catch err
    row.status = error_id(err);
    row.note = err.message;
    row.seconds = toc(started);
    % A failed input leaves nothing behind, not even an empty folder.
    for f = 1:3
      remove_if_present([outputs{f} '.tmp']);
      remove_if_present(outputs{f});
    end
    if isfolder(folder)
      [removed, message] = rmdir(folder); %#ok<ASGLU>
    end
    return;
  end
  if ~isempty(truth_file)
    try
      scores = lf_disparity_score(d, double(lf_read_pfm(truth_file)));
      row.badpix07 = scores.badpix07;
      row.badpix03 = scores.badpix03;
      row.badpix01 = scores.badpix01;
      row.mse100 = scores.mse100;
    catch err
      % The depth stands; only its scores are missing.
      row.status = error_id(err);
      row.note = ['scoring against ''' truth_file ''': ' err.message];
    end
  end
  row.seconds = toc(started);
end

function [R, C, truth_file] = read_input(path, pattern)
  truth = 'gt_disp_lowres.pfm';
  if isfolder(path)
    if isempty(pattern)
      views = lf_read_views(path);
    else
      views = lf_read_views(path, pattern);
    end
    C = size(views, 1);
    R = lf_views_to_remapped(views);
    truth_file = fullfile(path, truth);
  elseif isfile(path)
    try
      present = who('-file', path);
    catch err
      fail('unreadable', ['cannot read ''' path ''' as a MAT-file: ' err.message]);
    end
    if ~all(ismember({'R', 'C'}, present))
      fail('badMatFile', ['the MAT-file ''' path ''' must hold R (the remapped light field) and C, ' ...
                          'got the variables: ' strjoin(present(:)', ', ') '.']);
    end
    S = load(path, 'R', 'C');
    R = S.R;
    C = S.C;
    truth_file = fullfile(fileparts(path), truth);
  else
    fail('notFound', ['input ''' path ''' is neither a folder nor a file.']);
  end
  if ~isfile(truth_file)
    truth_file = '';
  end
end

function write_renamed(file, writer)
  temporary = [file '.tmp'];
  try
    writer(temporary);
  catch err
    remove_if_present(temporary);
    rethrow(err);
  end
  % Octave's rename is the system's, one step; movefile is MATLAB's only
  % way, and Octave's second chance where its rename will not replace.
  failed = true;
  if exist('OCTAVE_VERSION', 'builtin')
    failed = rename(temporary, file) ~= 0;
  end
  if failed
    [moved, message] = movefile(temporary, file, 'f');
    failed = ~moved;
  end
  if failed
    remove_if_present(temporary);
    fail('cannotWrite', ['cannot rename ''' temporary ''' to ''' file ''': ' message]);
  end
end

% Shards start together: another process may make the folder between the
% look and the making, which is no failure.
function message = make_folder(folder)
  message = '';
  if ~isfolder(folder)
    [made, message] = mkdir(folder);
    if made || isfolder(folder)
      message = '';
    end
  end
end

% Our messages name paths as given: never a format, whatever they hold.
function fail(kind, text)
  error(['lf_depth_batch:' kind], '%s', ['lf_depth_batch: ' text]);
end

function remove_if_present(file)
  if isfile(file)
    delete(file);
  end
end

function id = error_id(err)
  id = err.identifier;
  if isempty(id)
    id = 'lf_depth_batch:failed';
  end
end

% The summary's columns, in order; text columns are name, status and note.
function row = empty_row(name)
  row = struct('name', name, 'rows', NaN, 'cols', NaN, 'views', NaN, 'shift_from', NaN, ...
               'shift_to', NaN, 'shifts', NaN, 'seconds', NaN, 'status', 'ok', 'badpix07', NaN, ...
               'badpix03', NaN, 'badpix01', NaN, 'mse100', NaN, 'note', '');
end

function text = summary_text(rows)
  columns = fieldnames(empty_row(''));
  tab = sprintf('\t');
  lines = cell(numel(rows) + 1, 1);
  lines{1} = strjoin(columns', tab);
  for i = 1:numel(rows)
    fields = cell(1, numel(columns));
    for c = 1:numel(columns)
      value = rows(i).(columns{c});
      if ischar(value)
        % A message may hold tabs or line breaks; a row may not.
        fields{c} = regexprep(value, '\s', ' ');
      elseif ~isnan(value)
        fields{c} = sprintf('%.6g', value);
      else
        fields{c} = '';
      end
    end
    lines{i + 1} = strjoin(fields, tab);
  end
  text = [strjoin(lines', sprintf('\n')), sprintf('\n')];
end

function write_summary(file, rows)
  text = summary_text(rows);
  write_renamed(file, @(name) write_text(name, text));
end

function write_text(file, text)
  fid = fopen(file, 'w');
  if fid < 0
    fail('cannotWrite', ['cannot open ''' file ''' for writing.']);
  end
  closer = onCleanup(@() fclose(fid));
  if fwrite(fid, text, 'char') ~= numel(text)
    fail('cannotWrite', ['could not write all of ''' file '''.']);
  end
end

% Rows of the summaries already in OUTDIR, the shard's own file first; a
% file with another header is not ours and is passed over.
function rows = earlier_rows(outdir, own)
  rows = repmat(empty_row(''), 0, 1);
  listed = dir(fullfile(outdir, 'summary*.tsv'));
  files = {listed.name};
  files = [files(strcmp(files, own)), files(~strcmp(files, own))];
  columns = fieldnames(empty_row(''));
  header = strjoin(columns', sprintf('\t'));
  for f = 1:numel(files)
    lines = regexp(fileread(fullfile(outdir, files{f})), '\r?\n', 'split');
    if isempty(lines) || ~strcmp(lines{1}, header)
      continue;
    end
    for i = 2:numel(lines)
      fields = regexp(lines{i}, '\t', 'split');
      if numel(fields) ~= numel(columns)
        continue;
      end
      row = empty_row(fields{1});
      for c = 2:numel(columns)
        if ischar(row.(columns{c}))
          row.(columns{c}) = fields{c};
        else
          row.(columns{c}) = str2double(fields{c});
        end
      end
      rows(end + 1, 1) = row; %#ok<AGROW>
    end
  end
end

function row = previous_row(previous, name)
  found = find(strcmp({previous.name}, name), 1);
  if isempty(found)
    row = empty_row(name);
  else
    row = previous(found);
  end
end

function line = progress_line(i, count, row)
  line = sprintf('lf_depth_batch: %d/%d ', i, count);
  line = [line row.name ': ' row.status];
  if ~isnan(row.rows)
    line = [line sprintf(', %d x %d pixels, %d x %d views', row.rows, row.cols, row.views, row.views)];
  end
  if ~isnan(row.shifts)
    line = [line sprintf(', %d shifts %+.3f .. %+.3f', row.shifts, row.shift_from, row.shift_to)];
  end
  if ~isnan(row.badpix07)
    line = [line sprintf(', BadPix(0.07) %.2f %%', row.badpix07)];
  end
  if ~isnan(row.seconds)
    line = [line sprintf(', %.1f s', row.seconds)];
  end
  if ~isempty(row.note)
    line = [line ' (' row.note ')'];
  end
end

function name = input_name(path)
  trimmed = regexprep(path, '[/\\]+$', '');
  [~, base, extension] = fileparts(trimmed);
  if isfolder(path)
    name = [base extension];
  else
    name = base;
  end
end

function check_names(paths, names)
  for i = 1:numel(names)
    if isempty(names{i}) || any(strcmp(names{i}, {'.', '..'}))
      fail('badInputs', ...
            ['input ''' paths{i} ''' has no name to give its output folder; ' ...
             'name the folder or file itself.']);
    end
    other = find(strcmp(names(1:i - 1), names{i}), 1);
    if ~isempty(other)
      fail('duplicateName', ...
            ['inputs ''' paths{other} ''' and ''' paths{i} ''' would both write ' ...
             'to the output folder ''' names{i} '''.']);
    end
  end
end

% The sweep's options are the caller's, not an input's: one tiny call tells
% an unknown or malformed option before any input is read.
function check_sweep_options(pass)
  if isempty(pass)
    return;
  end
  try
    lf_disparity_sweep(zeros(3, 3, 3), 1, 0, pass{:});
  catch err
    if strcmp(err.identifier, 'lf_disparity_sweep:badOption')
      fail('badOption', ['an option passed to lf_disparity_sweep was refused: ' ...
                                         err.message]);
    end
  end
end

function [paths, outdir, opt, pass] = check_arguments(inputs, outdir, args)
  if is_text(inputs) && size(char(inputs), 1) == 1
    inputs = {char(inputs)};
  elseif isa(inputs, 'string')
    inputs = cellstr(inputs);
  end
  if ~iscell(inputs) || ~all(cellfun(@(p) is_text(p) && numel(char(p)) >= 1 && size(char(p), 1) == 1, inputs(:)))
    fail('badInputs', ...
          ['INPUTS must be a cell array of paths (folders of views or MAT-files), got a ' ...
           class(inputs) ' ' mat2str(size(inputs)) '.']);
  end
  paths = cellfun(@char, inputs(:)', 'UniformOutput', false);
  if ~(is_text(outdir) && size(char(outdir), 1) == 1 && ~isempty(char(outdir)))
    fail('badOutdir', ['OUTDIR must be a folder name, got a ' class(outdir) '.']);
  end
  outdir = char(outdir);
  opt = struct('pattern', '', 'shifts', [], 'overwrite', false, 'shard', [1 1], 'progress', false);
  pass = {};
  if mod(numel(args), 2) == 1
    error('lf_depth_batch:badOption', 'lf_depth_batch: options come as name, value pairs.');
  end
  for i = 1:2:numel(args)
    if ~is_text(args{i})
      fail('badOption', ['an option name must be text, got a ' class(args{i}) '.']);
    end
    name = char(args{i});
    value = args{i + 1};
    if isa(value, 'string') && isscalar(value)
      value = char(value);
    end
    switch lower(name)
      case 'pattern'
        if ~(ischar(value) && size(value, 1) == 1 && ~isempty(value))
          fail('badOption', ['''Pattern'' must be a file pattern such as ' ...
                                             '''*.png'', got a ' class(value) '.']);
        end
        opt.pattern = value;
      case 'shifts'
        if ~(isempty(value) || (isnumeric(value) && isreal(value) && isvector(value) && all(isfinite(value))))
          error('lf_depth_batch:badOption', ...
                'lf_depth_batch: ''Shifts'' must be a vector of finite numbers or [], got a %s of size %s.', ...
                class(value), mat2str(size(value)));
        end
        opt.shifts = double(value(:)');
      case 'shard'
        if ~(isnumeric(value) && isreal(value) && numel(value) == 2 && all(value == fix(value)) ...
             && value(1) >= 1 && value(1) <= value(2))
          error('lf_depth_batch:badOption', ...
                'lf_depth_batch: ''Shard'' must be [k n], whole numbers with 1 <= k <= n, got %s.', ...
                mat2str(value));
        end
        opt.shard = double(value(:)');
      case {'overwrite', 'progress'}
        if ~((islogical(value) || isnumeric(value)) && isscalar(value) && isreal(value) && ~isnan(value))
          fail('badOption', ['option ''' name ''' must be true or false.']);
        end
        opt.(lower(name)) = logical(value);
      otherwise
        pass(end + 1:end + 2) = {name, value};
    end
  end
end

function yes = is_text(x)
  yes = ischar(x) || (isa(x, 'string') && isscalar(x));
end
