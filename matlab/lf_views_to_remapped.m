function remapped = lf_views_to_remapped(views)
%LF_VIEWS_TO_REMAPPED  Sub-aperture views to the remapped light-field layout.
%   R = LF_VIEWS_TO_REMAPPED(V) takes the views of a C x C grid in one array
%   V indexed V(view row, view column, image row, image column, colour plane)
%   and returns the remapped light field R, a (rows*C) x (cols*C) x planes
%   double array in which every image pixel carries its C x C angular samples
%   as one block: pixel (r, c) of view (a, b) goes to
%
%       R((r-1)*C + a, (c-1)*C + b, k) = V(a, b, r, c, k)     (1-based)
%
%   This is the layout that olmarin, varnel and tressik read. Values are kept
%   as they are, only converted to double; the modules expect three colour
%   planes, and varnel and tressik expect intensities in 0..255.
%   LF_REMAPPED_TO_VIEWS undoes it exactly.
%
%   Example
%     V = lf_read_views('my_views');          % 9 x 9 x rows x cols x 3
%     R = lf_views_to_remapped(V);            % (rows*9) x (cols*9) x 3
%
%   See also LF_REMAPPED_TO_VIEWS, LF_READ_VIEWS, LF_DISPARITY_SWEEP.

  if ~(isnumeric(views) || islogical(views)) || ~isreal(views) || issparse(views)
    error('lf_views_to_remapped:badViews', ...
          'lf_views_to_remapped: views must be a real numeric array, got a %s array.', class(views));
  end
  if ndims(views) > 5 || size(views, 1) ~= size(views, 2)
    error('lf_views_to_remapped:badViews', ...
          ['lf_views_to_remapped: views must be C x C x rows x cols x planes ' ...
           '(a square grid of views), got size %s.'], mat2str(size(views)));
  end
  C = size(views, 1);
  [rows, cols, planes] = deal(size(views, 3), size(views, 4), size(views, 5));
  % Putting the view row next to the image row, and the view column next to
  % the image column, makes the angular index the fast one within each block.
  remapped = reshape(permute(double(views), [1 3 2 4 5]), [C * rows, C * cols, planes]);
end
