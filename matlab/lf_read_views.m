function views = lf_read_views(folder, varargin)
%LF_READ_VIEWS  Read a folder of sub-aperture view images into one views array.
%   V = LF_READ_VIEWS(FOLDER) reads every image file in FOLDER (png, jpg,
%   jpeg, tif, tiff, bmp, ppm, pgm) as one view of a square C x C grid, in
%   row-major grid order: sorted by name, the first C files are the top row of
%   views from left to right, the next C the second row, and so on. Numbers in
%   the names sort by value, so view_2.png comes before view_10.png.
%
%   V = LF_READ_VIEWS(FOLDER, PATTERN) reads only the files matching PATTERN,
%   for instance 'input_Cam*.png'.
%
%   LF_READ_VIEWS(..., 'Progress', true) prints a line after each row of
%   views with the elapsed time and an estimate of the time left.
%
%   When the files do not form a grid, the error names the views that break
%   it: the numbers missing from the numbered names (view_37.png when
%   view_36.png and view_38.png are there), and the files not named like
%   the others (a depth map or a thumbnail in the same folder), and shows a
%   pattern that reads only the views.
%
%   V is a double array indexed V(view row, view column, image row, image
%   column, colour plane), with intensities in 0..255 whatever the file's bit
%   depth (8-bit values as they are, 16-bit values scaled by 255/65535), ready
%   for LF_VIEWS_TO_REMAPPED. All images must have the same size and planes.
%
%   Example
%     V = lf_read_views('my_views', 'Progress', true);   % 81 files -> 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);
%
%   See also LF_VIEWS_TO_REMAPPED, LF_DISPARITY_SWEEP.

  % MATLAB's string arguments ("views", "Progress") as char; Octave has none.
  if isa(folder, 'string')
    folder = char(folder);
  end
  for i = 1:numel(varargin)
    if isa(varargin{i}, 'string')
      varargin{i} = char(varargin{i});
    end
  end
  pattern = '';
  if mod(numel(varargin), 2) == 1
    pattern = varargin{1};
    varargin = varargin(2:end);
  end
  progress = false;
  for i = 1:2:numel(varargin)
    if ~(ischar(varargin{i}) && strcmpi(varargin{i}, 'Progress'))
      error('lf_read_views:badOption', '%s', ['lf_read_views: unknown option ''', num2str(varargin{i}), ...
            '''; the options are a pattern and ''Progress''.']);
    end
    progress = logical(varargin{i + 1});
  end
  if isempty(pattern)
    files = [];
    for ext = {'png', 'jpg', 'jpeg', 'tif', 'tiff', 'bmp', 'ppm', 'pgm'}
      found = dir(fullfile(folder, ['*.' ext{1}]));
      % Case-insensitive file systems list *.png and *.PNG alike.
      if ~isempty(files) && ~isempty(found)
        found = found(~ismember({found.name}, {files.name}));
      end
      files = [files; found(:)];
    end
  else
    files = dir(fullfile(folder, pattern));
  end
  if ~isempty(files)
    files = files(~[files.isdir]);
  end
  n = numel(files);
  if n == 0
    error('lf_read_views:noViews', '%s', ['lf_read_views: no view images found in ''', folder, '''.']);
  end
  C = round(sqrt(n));
  [problems, suggestion, broken] = grid_problems(sort_natural({files.name}));
  if C * C ~= n || broken
    if isempty(suggestion)
      suggestion = '*.png';
    end
    % Concatenated, not formatted: MATLAB's sprintf skips an empty argument
    % such as PROBLEMS and shifts the rest into the wrong places.
    error('lf_read_views:notSquare', '%s', ...
          [sprintf('lf_read_views: %d images in ''', n), folder, ''' do not form a square C x C grid of views', ...
           problems, '. To read only the views, pass a file pattern: lf_read_views(''', folder, ''', ''', ...
           suggestion, ''').']);
  end
  names = sort_natural({files.name});
  started = tic;
  for i = 1:n
    img = read_scaled(fullfile(folder, names{i}));
    if i == 1
      [rows, cols, planes] = size(img);
      views = zeros(C, C, rows, cols, planes);
    elseif ~isequal(size(img, 1), rows) || ~isequal(size(img, 2), cols) || size(img, 3) ~= planes
      error('lf_read_views:sizeMismatch', ...
            'lf_read_views: ''%s'' is %s, but the first view is %s.', names{i}, ...
            mat2str(size(img)), mat2str([rows cols planes]));
    end
    % Row-major grid order: file i is view row a, view column b.
    a = floor((i - 1) / C) + 1;
    b = mod(i - 1, C) + 1;
    views(a, b, :, :, :) = reshape(img, [1 1 rows cols planes]);
    if progress && b == C
      elapsed = toc(started);
      fprintf('  read view row %d/%d (%d of %d images)  (%5.1f s, about %.1f s left)\n', ...
              a, C, i, n, elapsed, elapsed / i * (n - i));
    end
  end
end

function img = read_scaled(file)
  [img, map] = imread(file);
  if ~isempty(map)
    img = ind2rgb_any(img, map);
    return;
  end
  switch class(img)
    case 'uint8'
      img = double(img);
    case 'uint16'
      img = double(img) * (255 / 65535);
    case 'logical'
      img = double(img) * 255;
    otherwise
      img = double(img) * 255;
  end
end

function rgb = ind2rgb_any(index, map)
  % Indexed images: integer and logical classes count from 0, doubles from 1.
  if isinteger(index) || islogical(index)
    index = double(index) + 1;
  end
  rgb = reshape(map(index(:), :), [size(index, 1), size(index, 2), 3]) * 255;
end

function sorted = sort_natural(names)
  % Digit runs padded with zeros to one width sort by value.
  keys = names;
  for i = 1:numel(names)
    [tokens, rest] = regexp(names{i}, '\d+', 'match', 'split');
    key = rest{1};
    for j = 1:numel(tokens)
      key = [key, repmat('0', 1, max(0, 20 - numel(tokens{j}))), tokens{j}, rest{j + 1}]; %#ok<AGROW>
    end
    keys{i} = key;
  end
  [~, order] = sort(keys);
  sorted = names(order);
end

function [text, suggestion, broken] = grid_problems(names)
  % Names alike but for their numbers share a template; the numbers that
  % vary within the commonest template index the views.
  text = '';
  suggestion = '';
  broken = false;
  templates = regexprep(names, '\d+', '#');
  [kinds, ~, kind_of] = unique(templates);
  counts = accumarray(kind_of(:), 1);
  [most, main] = max(counts);
  if most < 2
    return;
  end
  suggestion = regexprep(kinds{main}, '#', '*');
  parts = {};
  ours = find(kind_of == main);
  numbers = cellfun(@(s) str2double(regexp(s, '\d+', 'match')), names(ours), 'UniformOutput', false);
  numbers = vertcat(numbers{:});
  varying = find(any(numbers ~= numbers(1, :), 1));
  missing = {};
  if numel(varying) == 1
    index = numbers(:, varying);
    gaps = setdiff(min(index):max(index), index);
    for g = gaps(1:min(end, 8))
      % Spelled like its neighbour below, with the number's width kept.
      below = ours(find(index < g, 1, 'last'));
      missing{end + 1} = renumber(names{below}, varying, g); %#ok<AGROW>
    end
    if numel(gaps) > 0
      parts{end + 1} = sprintf('missing %s %s%s', plural(numel(gaps), 'index', 'indices'), ...
                               strjoin(arrayfun(@(g) sprintf('%d', g), gaps(1:min(end, 8)), 'UniformOutput', false), ', '), ...
                               sprintf(' (no %s)', strjoin(missing, ', ')));
    end
    sorted = sort(index);
    repeated = unique(sorted(diff(sorted) == 0));
    if ~isempty(repeated)
      parts{end + 1} = sprintf('index %d appears more than once', repeated(1));
    end
  elseif numel(varying) == 2
    % Row and column numbers: every pair of them should be there.
    [rows_seen, cols_seen] = deal(unique(numbers(:, varying(1))), unique(numbers(:, varying(2))));
    for r = rows_seen'
      for c = cols_seen'
        if ~any(numbers(:, varying(1)) == r & numbers(:, varying(2)) == c) && numel(missing) < 8
          missing{end + 1} = sprintf('%d, %d', r, c); %#ok<AGROW>
        end
      end
    end
    if ~isempty(missing)
      parts{end + 1} = sprintf('missing the view numbered (%s)', strjoin(missing, '), ('));
    end
  end
  others = names(kind_of ~= main);
  if ~isempty(others)
    parts{end + 1} = sprintf('%s not named like the others (%s): %s', plural(numel(others), 'file', 'files'), ...
                             kinds{main}, strjoin(strcat('''', others(1:min(end, 8)), ''''), ', '));
  end
  % A square count can still hide a wrong grid: an extra file standing in
  % for a missing view.
  broken = ~isempty(others) && ~isempty(missing);
  if ~isempty(parts)
    text = [': ', strjoin(parts, '; ')];
  end
end

function name = renumber(name, run, value)
  [tokens, rest] = regexp(name, '\d+', 'match', 'split');
  tokens{run} = sprintf('%0*d', numel(tokens{run}), value);
  name = [rest; [tokens, {''}]];
  name = [name{:}];
end

function word = plural(n, one, many)
  if n == 1
    word = one;
  else
    word = many;
  end
end
