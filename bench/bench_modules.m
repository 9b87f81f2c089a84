function bench_modules (workloads, reps)
  % Octave only. Times whole module calls, argument checks included: the
  % median CPU time of several calls after one warm-up call, on random 8-bit
  % light fields. workloads: one row per workload, [rows cols C D].
  if (nargin < 1)
    workloads = [512 512 9 4; 256 256 9 4];
  endif
  if (nargin < 2)
    reps = 7;
  endif
  alpha = 0.37;
  printf ("\n%-10s %-16s %12s %12s\n", "module", "workload", "call ms", "ns/pixel");
  for w = 1:rows (workloads)
    r = workloads(w, 1);
    c = workloads(w, 2);
    C = workloads(w, 3);
    D = workloads(w, 4);
    source = randi ([0 255], r * C, c * C, 3);
    destination = zeros (r * C, c * C, 3);
    image = zeros (r, c, 3);
    olmarin_call = @() olmarin (c, r, C, D, source, destination, image, alpha);
    seconds = median_cpu_time (olmarin_call, reps);
    % The refocused image is the block average of the refocused field.
    blocks = reshape (destination(:, :, 1), C, r, C, c);
    expected = reshape (sum (sum (blocks, 1), 3), r, c) / C^2;
    if (max (abs (expected(:) - reshape (image(:, :, 1), [], 1))) > 1e-9)
      error ("bench_modules: olmarin's image does not average its destination");
    endif
    report ("olmarin", r, c, C, D, seconds);
    % The entropy modules read the refocused field, as a depth sweep does.
    map = zeros (r, c);
    report ("varnel", r, c, C, D, median_cpu_time (@() varnel (c, r, C, 0, 0, destination, map), reps));
    [map0, map1, map2] = deal (zeros (r, c), zeros (r, c), zeros (r, c));
    report ("tressik", r, c, C, D,
            median_cpu_time (@() tressik (c, r, C, 0, destination, 0, map0, map1, map2), reps));
    % Refocused random samples disagree across every block: no zero entropy.
    if (! all ([map(:); map0(:); map1(:); map2(:)] > 0))
      error ("bench_modules: an entropy map was not written");
    endif
    clear source destination image blocks expected map map0 map1 map2;
  endfor
  printf ("(CPU time, median of %d calls after one warm-up; alpha %g)\n", reps, alpha);
  bench_as_users_see_it (workloads(1, :), alpha);
  if (exist ("lf_guided_filter") == 3)
    bench_guided_filter (reps);
  endif
endfunction

% olmarin against a memcpy of its source into its destination, and
% lf_entropy_sweep against one varnel call per shift and against the chained
% modules, as a user calls them (no tunables): wall clock, as the sweep runs
% threads, fastest of several calls; the sweep's maps checked against the
% chained ones after timing.
function bench_as_users_see_it (workload, alpha)
  r = workload(1);
  c = workload(2);
  C = workload(3);
  D = workload(4);
  source = randi ([0 255], r * C, c * C, 3);
  destination = zeros (r * C, c * C, 3);
  image = zeros (r, c, 3);
  map = zeros (r, c);
  shifts = linspace (-2, 2, 41);
  n = numel (shifts);
  copy_s = fastest_wall_time (@() lf_copy_floor (source, destination), 5);
  olmarin_s = fastest_wall_time (@() olmarin (c, r, C, D, source, destination, image, alpha), 5);
  varnel_s = fastest_wall_time (@() varnel (c, r, C, 0, 0, source, map), 15);
  one_s = fastest_wall_time (@() lf_entropy_sweep (source, C, shifts, "Threads", 1), 3);
  default_s = fastest_wall_time (@() lf_entropy_sweep (source, C, shifts), 3);
  chained = @() chained_sweep (source, destination, image, map, r, c, C, D, shifts);
  chained_s = fastest_wall_time (chained, 3);
  E = lf_entropy_sweep (source, C, shifts);
  maps = chained_sweep (source, destination, image, map, r, c, C, D, shifts);
  if (! isequal (E, maps))
    error ("bench_modules: lf_entropy_sweep differs from the chained modules");
  endif
  printf ("\n%s, %d shifts from %g to %g, wall clock, fastest of 3 to 15 calls:\n",
          sprintf ("%dx%d/C%d", r, c, C), n, shifts(1), shifts(end));
  printf ("%-40s %12s %10s\n", "call", "ms", "ratio");
  printf ("%-40s %12.2f %10s\n", "memcpy of source into destination", copy_s * 1e3, "");
  printf ("%-40s %12.2f %10.2f  (to the memcpy)\n", "olmarin", olmarin_s * 1e3, olmarin_s / copy_s);
  printf ("%-40s %12.2f %10s\n", "varnel, one call", varnel_s * 1e3, "");
  threads = sprintf ("lf_entropy_sweep per shift, %d threads", nproc ());
  printf ("%-40s %12.2f %10.2f  (to one varnel call)\n", "lf_entropy_sweep per shift, 1 thread",
          one_s / n * 1e3, one_s / n / varnel_s);
  printf ("%-40s %12.2f %10.2f  (to one varnel call)\n", threads, default_s / n * 1e3, default_s / n / varnel_s);
  printf ("%-40s %12.2f %10.2f  (to lf_entropy_sweep, 1 thread)\n", "olmarin + varnel per shift",
          chained_s / n * 1e3, chained_s / one_s);
  printf ("%-40s %12s %10.2f  (chained to lf_entropy_sweep, %d threads)\n", "", "", chained_s / default_s,
          nproc ());
  bench_entropy_floor (source, destination, r, c, C);
endfunction

% varnel and tressik against a plain read of their input (eight running
% sums over it), as a user calls them, on random samples, on olmarin's
% refocused ones, and on the realistic synthetic scene when its generator is
% on the path: wall clock, fastest of 15 calls each.
function bench_entropy_floor (source, refocused, r, c, C)
  kinds = {"random", source; "refocused", refocused};
  if (exist ("lf_synthetic_scene") == 2)
    kinds(end + 1, :) = {"realistic scene", lf_synthetic_scene(r, c, C, "realistic", "remapped")};
  endif
  map = zeros (r, c);
  [map0, map1, map2] = deal (zeros (r, c), zeros (r, c), zeros (r, c));
  printf ("\n%-18s %14s %10s %8s %10s %8s\n", "samples", "plain read ms", "varnel ms", "ratio", "tressik ms", "ratio");
  for k = 1:rows (kinds)
    field = kinds{k, 2};
    read_s = fastest_wall_time (@() lf_copy_floor (field), 15);
    varnel_s = fastest_wall_time (@() varnel (c, r, C, 0, 0, field, map), 15);
    tressik_s = fastest_wall_time (@() tressik (c, r, C, 0, field, 0, map0, map1, map2), 15);
    printf ("%-18s %14.2f %10.2f %8.2f %10.2f %8.2f\n", kinds{k, 1}, read_s * 1e3, varnel_s * 1e3, varnel_s / read_s,
            tressik_s * 1e3, tressik_s / read_s);
  endfor
  printf ("(wall clock, fastest of 15 calls; the plain read sums the input in eight running sums)\n");
endfunction

function maps = chained_sweep (source, destination, image, map, r, c, C, D, shifts)
  maps = zeros (r, c, numel (shifts));
  for s = 1:numel (shifts)
    olmarin (c, r, C, D, source, destination, image, shifts(s));
    varnel (c, r, C, 0, 0, destination, map);
    maps(:, :, s) = map;
  endfor
endfunction

function seconds = fastest_wall_time (call, reps)
  seconds = Inf;
  for k = 1:reps
    t0 = tic ();
    call ();
    seconds = min (seconds, toc (t0));
  endfor
endfunction

% lf_guided_filter over a sweep's 41 entropy maps of 512 x 512, on every
% core: wall time, beside what the host takes to make a new array of that
% size (P + 0), which every call that returns one pays.
function bench_guided_filter (reps)
  P = rand (512, 512, 41) * 4.4;
  G = randi ([0 255], 512, 512);
  printf ("\n%-18s %-12s %12s %12s\n", "lf_guided_filter", "radius", "call ms", "P + 0 ms");
  for radius = [2 4 16]
    filter_s = median_wall_time (@() lf_guided_filter (P, G, radius, 650), reps);
    floor_s = median_wall_time (@() P + 0, reps);
    printf ("%-18s %-12d %12.1f %12.1f\n", "512x512x41", radius, filter_s * 1e3, floor_s * 1e3);
  endfor
  % A constant cost stays constant whatever the guide.
  Q = lf_guided_filter (ones (size (P)), G, 3, 650);
  if (max (abs (Q(:) - 1)) > 1e-12)
    error ("bench_modules: lf_guided_filter moved a constant cost");
  endif
  printf ("(wall time, median of %d calls after one warm-up)\n", reps);
endfunction

function seconds = median_wall_time (call, reps)
  seconds = median_time (call, reps, @tic, @toc);
endfunction

function seconds = median_cpu_time (call, reps)
  seconds = median_time (call, reps, @cputime, @(t0) cputime () - t0);
endfunction

% The median of reps calls after one warm-up, timed by start () and since ().
function seconds = median_time (call, reps, start, since)
  call ();
  t = zeros (reps, 1);
  for k = 1:reps
    t0 = start ();
    call ();
    t(k) = since (t0);
  endfor
  seconds = median (t);
endfunction

function report (name, r, c, C, D, seconds)
  printf ("%-10s %-16s %12.2f %12.2f\n", name, sprintf ("%dx%d/C%d/D%d", r, c, C, D),
          seconds * 1e3, seconds / (r * c) * 1e9);
endfunction
