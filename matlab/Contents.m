% Light-field refocusing, angular entropy and depth (lightfield)
% Version 1.0.0 09-Dec-2026
%
% Modules
%   olmarin                   - Refocus a remapped light field by shift and add (MEX module).
%   varnel                    - Angular entropy of every pixel, mean over the colour planes (MEX module).
%   tressik                   - Angular entropy of every pixel, one map per colour plane (MEX module).
%   lf_entropy_sweep          - Angular entropy of a light field refocused at many shifts (MEX module).
%   lf_guided_filter          - Edge-aware smoothing of every slice of a cost volume (MEX module).
%   lf_cost_minimum           - Shift of least cost per pixel and its confidence (MEX module).
%   lf_shrunk_entropy_sweep   - Entropy sweep of a light field with shrunk views (MEX module).
%
% Views and layout
%   lf_read_views             - Read a folder of sub-aperture view images into one views array.
%   lf_views_to_remapped      - Sub-aperture views to the remapped light-field layout.
%   lf_remapped_to_views      - Remapped light field back to its sub-aperture views.
%
% Depth
%   lf_disparity_sweep        - Disparity from the shift factor of least angular entropy.
%   lf_disparity_from_entropy - Disparity and its confidence from an entropy volume.
%   lf_disparity_smooth       - Confidence-weighted, edge-aware median of a disparity map.
%   lf_disparity_segments     - Plain regions of a disparity map from their region's mean entropy.
%   lf_disparity_preview      - A colour picture of a disparity (or any) map, scaled to its range.
%   lf_disparity_score        - BadPix and MSE of a disparity map against its ground truth.
%   lf_all_in_focus           - An image sharp everywhere, from refocused images and a disparity map.
%   lf_depth_batch            - Disparity maps for a list of light fields, resumable and shardable.
%
% Files
%   lf_write_pfm              - Write a float map (a disparity map) as a PFM file.
%   lf_read_pfm               - Read a PFM file (a float map such as a disparity map).
%
% Demo
%   lf_synthetic_scene        - Render a light field of textured planes with known disparity.
%   lightfield_depth_demo     - Depth from three synthetic light fields, scored against the truth.
