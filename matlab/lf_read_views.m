function views = lf_read_views(folder, pattern)
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
%   V is a double array indexed V(view row, view column, image row, image
%   column, colour plane), with intensities in 0..255 whatever the file's bit
%   depth (8-bit values as they are, 16-bit values scaled by 255/65535), ready
%   for LF_VIEWS_TO_REMAPPED. All images must have the same size and planes.
%
%   Example
%     V = lf_read_views('my_views');          % 81 files -> 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);
%
%   See also LF_VIEWS_TO_REMAPPED, LF_DISPARITY_SWEEP.

  if nargin < 2
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
    error('lf_read_views:noViews', 'lf_read_views: no view images found in ''%s''.', folder);
  end
  C = round(sqrt(n));
  if C * C ~= n
    error('lf_read_views:notSquare', ...
          'lf_read_views: %d images in ''%s'' do not form a square C x C grid of views.', n, folder);
  end
  names = sort_natural({files.name});
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
  % Indexed images: integer classes count from 0, doubles from 1.
  if isinteger(index)
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
