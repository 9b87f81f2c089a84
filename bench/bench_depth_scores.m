## bench_depth_scores ([candidate, label]), Octave only: the depth estimate's scores on
## every synthetic scene the demo and the notes use (textured, hard and realistic at
## 256 x 256, realistic at 512 x 512, and the realistic scene with seeds 1 and 2), for
## the plain shift of least entropy and the default call of lf_disparity_sweep over the
## shifts that call finds. A setting is tuned across all of them, never on one.
##
## CANDIDATE, a function handle d = candidate (E, G, shifts) given the raw entropy
## volume, the grey centre view and the shifts, adds a row per scene for a step under
## trial: for instance
##   bench_depth_scores (@(E, G, s) lf_cost_minimum (E, s, true, G, 2, 16), "radius 2")
## Returns a struct array with each scene's name and scores (rows: plain argmin,
## defaults, candidate; columns: BadPix(0.07), (0.03), (0.01) in %, MSE x 100).
function result = bench_depth_scores (candidate, label)
  if (nargin < 1)
    candidate = [];
  endif
  if (nargin < 2)
    label = "candidate";
  endif
  C = 9;
  scenes = {"textured", "default", 256, 0; "hard", "hard", 256, 0; "realistic", "realistic", 256, 0; ...
            "realistic", "realistic", 512, 0; "realistic", "realistic", 256, 1; "realistic", "realistic", 256, 2};
  printf ("\n| scene | size | seed | estimate | BadPix(0.07) %% | BadPix(0.03) %% | BadPix(0.01) %% | MSE x 100 | to plain |\n");
  printf ("|---|---|---|---|---|---|---|---|---|\n");
  for k = 1:rows (scenes)
    [name, kind, n, seed] = scenes{k, :};
    [R, truth] = lf_synthetic_scene (n, n, C, kind, "remapped", "Seed", seed);
    G = mean (R((C + 1) / 2:C:end, (C + 1) / 2:C:end, :), 3);
    [d, ~, E, ~, info] = lf_disparity_sweep (R, C);
    clear R;
    estimates = {lf_disparity_from_entropy(E, info.shifts, false), d};
    methods = {"plain argmin", "defaults"};
    if (! isempty (candidate))
      estimates{end + 1} = candidate (E, G, info.shifts);
      methods{end + 1} = label;
    endif
    scores = zeros (numel (estimates), 4);
    for m = 1:numel (estimates)
      s = lf_disparity_score (estimates{m}, truth);
      scores(m, :) = [s.badpix07, s.badpix03, s.badpix01, s.mse100];
      printf ("| %s | %d | %d | %s | %.2f | %.2f | %.2f | %.2f | %.2f |\n", name, n, seed, methods{m}, ...
              scores(m, :), scores(m, 1) / scores(1, 1));
    endfor
    result(k) = struct ("name", name, "size", n, "seed", seed, "methods", {methods}, "scores", scores);
  endfor
endfunction
