% Contents.m and functionSignatures.json against the functions themselves:
% every public function listed with its H1 line, and its signature with the
% argument counts the function has. A module or helper added to the tree
% fails here until it is listed in both (and, for a module, in the table).
function test_lf_conventions(source_root)
  % Module, positional inputs (negative: that many - 1, then options), outputs.
  modules = {
    'olmarin',           8, 0
    'varnel',            7, 0
    'tressik',           9, 0
    'lf_entropy_sweep', -4, 2
    'lf_guided_filter',  4, 1
    'lf_cost_minimum',   6, 2
    'lf_shrunk_entropy_sweep', -5, 1
  };
  public = public_functions(source_root);
  addpath(fullfile(source_root, 'matlab'), fullfile(source_root, 'demo'));
  restore = onCleanup(@() rmpath(fullfile(source_root, 'matlab'), fullfile(source_root, 'demo')));

  signatures = jsondecode(fileread(fullfile(source_root, 'matlab', 'functionSignatures.json')));
  listed = fieldnames(signatures);
  listed = listed(cellfun(@isempty, regexp(listed, '^(x_|_)', 'once')));
  check_same_names(sort(listed), sort(public(:, 1)), 'functionSignatures.json');
  [listed, lines, version] = contents_lines(fullfile(source_root, 'matlab', 'Contents.m'));
  assert(~isempty(regexp(version, '^\d+\.\d+\.\d+$', 'once')), 'Contents.m: no version line');
  check_same_names(sort(listed), sort(public(:, 1)), 'Contents.m');

  for i = 1:rows(public)
    name = public{i, 1};
    h1 = h1_line(public{i, 2}, name);
    got = lines{strcmp(listed, name)};
    assert(strcmp(got, h1), 'Contents.m: %s is "%s", its H1 line "%s"', name, got, h1);

    at = find(strcmp(modules(:, 1), name));
    if public{i, 3}
      assert(~isempty(at), 'module %s has no argument counts in this test''s table', name);
      [n_in, n_out] = modules{at, 2:3};
    else
      [n_in, n_out] = deal(nargin(name), nargout(name));
    end
    [positional, options, outputs] = signature_counts(signatures.(name));
    if n_in >= 0
      ok = positional == n_in && ~options;
    else
      ok = positional >= -n_in - 1 && (options || positional > -n_in - 1);
    end
    assert(ok, 'functionSignatures.json: %s lists %d positional inputs%s; the function takes %d', ...
           name, positional, ifelse_text(options, ' and options', ''), n_in);
    assert((n_out >= 0 && outputs == n_out) || (n_out < 0 && outputs >= -n_out - 1), ...
           'functionSignatures.json: %s lists %d outputs; the function returns %d', name, outputs, n_out);
  end
  disp('test_lf_conventions: all checks passed');
end

function public = public_functions(root)
  % name, file holding its help, is a module: the modules as build_modules
  % finds them (a <name>_mex.cpp in a folder below the root), then the
  % m-files of matlab/ and demo/.
  public = cell(0, 3);
  listing = dir(root);
  for d = {listing([listing.isdir]).name}
    for entry = dir(fullfile(root, d{1}, '*_mex.cpp'))'
      if d{1}(1) ~= '.'
        name = entry.name(1:end - 8);
        public(end + 1, :) = {name, fullfile(root, d{1}, [name '.m']), true}; %#ok<AGROW>
      end
    end
  end
  for d = {'matlab', 'demo'}
    for file = dir(fullfile(root, d{1}, '*.m'))'
      if ~strcmp(file.name, 'Contents.m')
        public(end + 1, :) = {file.name(1:end - 2), fullfile(root, d{1}, file.name), false}; %#ok<AGROW>
      end
    end
  end
end

function check_same_names(listed, wanted, where)
  missing = setdiff(wanted, listed);
  extra = setdiff(listed, wanted);
  assert(isempty(missing) && isempty(extra), '%s: missing %s; not a public function: %s', where, ...
         strjoin(missing(:)', ', '), strjoin(extra(:)', ', '));
end

function [names, texts, version] = contents_lines(file)
  names = {};
  texts = {};
  version = '';
  for line = strsplit(fileread(file), "\n")
    v = regexp(line{1}, '^% Version (\S+)', 'tokens', 'once');
    if ~isempty(v)
      version = v{1};
    end
    t = regexp(line{1}, '^%\s+(\w+)\s+- (.*\S)\s*$', 'tokens', 'once');
    if ~isempty(t)
      names{end + 1} = t{1}; %#ok<AGROW>
      texts{end + 1} = t{2}; %#ok<AGROW>
    end
  end
end

function text = h1_line(file, name)
  t = regexp(fileread(file), ['(?m)^%' upper(name) '\s+(.*\S)\s*$'], 'tokens', 'once', 'dotexceptnewline');
  assert(~isempty(t), '%s has no H1 line %%%s', file, upper(name));
  text = t{1};
end

function [positional, options, outputs] = signature_counts(entry)
  inputs = as_cell(entry, 'inputs');
  kinds = cellfun(@(x) x.kind, inputs, 'UniformOutput', false);
  positional = sum(ismember(kinds, {'required', 'ordered', 'optional', 'positional'}));
  options = any(ismember(kinds, {'namevalue', 'flag'}));
  outputs = numel(as_cell(entry, 'outputs'));
end

function c = as_cell(entry, field)
  % jsondecode gives a struct array for alike objects, a cell otherwise.
  c = {};
  if isfield(entry, field) && ~isempty(entry.(field))
    c = entry.(field);
    if isstruct(c)
      c = num2cell(c);
    end
  end
end

function t = ifelse_text(condition, yes, no)
  t = no;
  if condition
    t = yes;
  end
end
