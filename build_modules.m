function folder = build_modules(folder)
%BUILD_MODULES  Build every module of this source tree with mex, without CMake.
%   BUILD_MODULES builds every module of this source tree with the mex
%   command of the running MATLAB or Octave into the folder 'build-mex' next
%   to this file, copies each module's help text and the lf_* helpers beside
%   them, and prints the addpath line to use.
%
%   BUILD_MODULES(FOLDER) builds into FOLDER instead; F = BUILD_MODULES(...)
%   returns the folder.
%
%   A module is an entry <name>_mex.cpp in a folder of this tree. Each source
%   is compiled once, and each module is linked from its entry, the kernels
%   of its own folder, those of the folders it also needs (the table in
%   kernel_folders below) and common/. Octave on Linux and macOS compiles as
%   many sources at a time as the machine has cores.
%
%   The modules' results are defined to the bit, so they are compiled as C++17
%   with optimisation, never with fast math and never with fused multiply-add:
%   GCC and Clang (Octave, MinGW-w64, macOS, Linux) get -ffp-contract=off;
%   Microsoft's compiler gets /fp:precise and no /arch option, so it neither
%   contracts (its default since Visual Studio 2022) nor has FMA instructions
%   to contract into (on older versions), and builds the portable ISO C++
%   path. MATLAB builds use the separate complex API (-R2017b).
%
%   The sources need C++17 (if constexpr): GCC 7, Clang 5 (Apple clang 9.1,
%   Xcode 9.3), MinGW-w64 GCC 7 or Visual Studio 2017 15.3 (cl 19.11) or
%   later. A one-line probe is compiled first, so that an older compiler
%   stops the build at once with that message rather than after many errors.
%
%   Example (MATLAB or Octave, in this folder)
%     build_modules
%     addpath(fullfile(pwd, 'build-mex'))
%     help olmarin
%
%   See also MEX, OLMARIN, VARNEL, TRESSIK.

  root = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(folder)
    folder = fullfile(root, 'build-mex');
  end
  if ~exist(folder, 'dir')
    mkdir(folder);
  end
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  modules = find_modules(root);

  objects_dir = tempname();
  mkdir(objects_dir);
  cleanup = onCleanup(@() remove_folder(objects_dir));
  if in_octave
    tool = octave_tool(root);
  else
    tool = matlab_tool(root);
  end
  check_cxx17(tool, objects_dir);

  % Every source any module needs, each once. MATLAB links each module from
  % its entry's source, so it compiles only the kernels ahead.
  sources = {};
  for m = modules
    sources = [sources, m.kernels]; %#ok<AGROW>
    if ~tool.entry_as_source
      sources = [sources, m.entry]; %#ok<AGROW>
    end
  end
  sources = unique(sources);
  objects = cellfun(@(s) object_of(root, objects_dir, s, tool.object_ext), sources, 'UniformOutput', false);
  fprintf('compiling %d sources\n', numel(sources));
  tool.compile(sources, objects);

  built = {};
  for m = modules
    kernels = cellfun(@(s) objects{strcmp(sources, s)}, m.kernels, 'UniformOutput', false);
    if tool.entry_as_source
      entry = m.entry;
    else
      entry = objects{strcmp(sources, m.entry)};
    end
    fprintf('linking %s\n', m.name);
    % A module loaded in this session keeps its file open (and locked on
    % Windows) until it is cleared.
    clear(m.name);
    tool.link(folder, m.name, [{entry}, kernels]);
    copyfile(fullfile(m.folder, [m.name '.m']), folder);
    built{end + 1} = m.name; %#ok<AGROW>
  end
  for helper = [m_files(fullfile(root, 'matlab')), m_files(fullfile(root, 'demo'))]
    copyfile(helper{1}, folder);
  end
  copyfile(fullfile(root, 'matlab', 'functionSignatures.json'), folder);
  fprintf('built %s into %s\nuse: addpath(''%s'')\n', strjoin(built, ', '), folder, folder);
end

function check_cxx17(tool, objects_dir)
  probe = fullfile(objects_dir, 'cxx17_probe.cpp');
  fid = fopen(probe, 'w');
  fprintf(fid, '%s\n', 'template <int N> int probe() { if constexpr (N > 0) return N; else return 0; }', ...
          'int cxx17_probe() { return probe<1>(); }');
  fclose(fid);
  try
    tool.compile({probe}, {fullfile(objects_dir, ['cxx17_probe' tool.object_ext])});
  catch
    error('build_modules:compilerTooOld', ...
          ['build_modules: the compiler (%s) does not build C++17 (if constexpr); these sources need ' ...
           'GCC 7, Clang 5, Apple clang 9.1, MinGW-w64 GCC 7 or Visual Studio 2017 15.3 or later.'], tool.compiler);
  end
end

function folders = kernel_folders(module_folder)
  % The kernel folders a module needs besides its own folder and common/.
  needs = struct('sweep', {{'refocus', 'entropy'}});
  folders = {};
  if isfield(needs, module_folder)
    folders = needs.(module_folder);
  end
end

function modules = find_modules(root)
  % Every <name>_mex.cpp in a folder directly below the root; the folder's
  % other sources are its kernels.
  modules = struct('name', {}, 'folder', {}, 'entry', {}, 'kernels', {});
  listing = dir(root);
  for d = sort({listing([listing.isdir]).name})
    part = d{1};
    if part(1) == '.'
      continue;
    end
    for entry = cpp_files(fullfile(root, part))
      [~, base] = fileparts(entry{1});
      if numel(base) <= 4 || ~strcmp(base(end - 3:end), '_mex')
        continue;
      end
      kernels = {};
      for k = [{part}, kernel_folders(part), {'common'}]
        kernels = [kernels, kernel_files(fullfile(root, k{1}))]; %#ok<AGROW>
      end
      modules(end + 1) = struct('name', base(1:end - 4), 'folder', fullfile(root, part), ... %#ok<AGROW>
                                'entry', entry{1}, 'kernels', {kernels});
    end
  end
end

function object = object_of(root, objects_dir, source, ext)
  % Named after the source's path, so that equal names in two folders differ.
  relative = source(numel(root) + 2:end);
  [part, base] = fileparts(relative);
  object = fullfile(objects_dir, [strrep(part, filesep, '_') '__' base ext]);
end

function tool = octave_tool(root)
  % Octave's mex takes its compiler flags from the environment, which the
  % compilers started here inherit.
  flags = strtrim(mkoctfile('-p', 'CXXFLAGS'));
  flags = regexprep(flags, '(-ffast-math|-Ofast|-ffp-contract=\S+)', '');
  flags = [flags ' -O3 -std=c++17 -ffp-contract=off'];
  tool.object_ext = '.o';
  tool.entry_as_source = false;
  tool.compiler = strtrim(mkoctfile('-p', 'CXX'));
  tool.compile = @(sources, objects) octave_compile(root, flags, sources, objects);
  tool.link = @(folder, module, objects) octave_link(flags, folder, module, objects);
end

function octave_compile(root, flags, sources, objects)
  saved = getenv('CXXFLAGS');
  setenv('CXXFLAGS', flags);
  restore = onCleanup(@() setenv('CXXFLAGS', saved));
  % The program behind Octave's mkoctfile function (a name MATLAB cannot parse).
  config = @(key) feval('__octave_config_info__', key);
  script = fullfile(config('bindir'), ['mkoctfile' config('EXEEXT')]);
  commands = cellfun(@(s, o) sprintf('"%s" --mex -c "-I%s" "%s" -o "%s"', script, root, s, o), ...
                     sources, objects, 'UniformOutput', false);
  if isunix()
    % Largest first, so that the longest compilations do not start last.
    sizes = cellfun(@(f) getfield(dir(f), 'bytes'), sources);
    [~, order] = sort(sizes, 'descend');
    run_parallel(commands(order), max(1, nproc()));
  else
    for i = 1:numel(commands)
      [status, output] = system(commands{i});
      check_status(status, output, commands{i});
    end
  end
end

function run_parallel(commands, jobs)
  % Up to `jobs` compilers at a time, each writing into its own log.
  logs = cellfun(@(c) [tempname() '.log'], commands, 'UniformOutput', false);
  running = zeros(0, 2);  % pid, command index
  next = 1;
  failed = 0;
  while (next <= numel(commands) || ~isempty(running)) && failed == 0
    while next <= numel(commands) && rows(running) < jobs
      pid = system(sprintf('%s > "%s" 2>&1', commands{next}, logs{next}), false, 'async');
      running(end + 1, :) = [pid, next]; %#ok<AGROW>
      next = next + 1;
    end
    [pid, status] = waitpid(-1);
    at = find(running(:, 1) == pid);
    if isempty(at)
      continue;
    end
    i = running(at, 2);
    running(at, :) = [];
    if ~WIFEXITED(status) || WEXITSTATUS(status) ~= 0
      failed = i;
    end
  end
  for k = 1:rows(running)
    waitpid(running(k, 1));
  end
  for i = 1:numel(logs)
    if exist(logs{i}, 'file')
      text = fileread(logs{i});
      if i == failed
        fprintf('%s', text);
      end
      delete(logs{i});
    end
  end
  if failed
    error('build_modules:failed', 'build_modules: compiling %s failed.', commands{failed});
  end
end

function check_status(status, output, command)
  if status ~= 0
    fprintf('%s', output);
    error('build_modules:failed', 'build_modules: %s failed.', command);
  end
end

function octave_link(flags, folder, module, objects)
  saved = getenv('CXXFLAGS');
  setenv('CXXFLAGS', flags);
  restore = onCleanup(@() setenv('CXXFLAGS', saved));
  [output, status] = mkoctfile('--mex', '-o', fullfile(folder, [module '.mex']), objects{:});
  check_status(status, output, ['linking ' module]);
end

function tool = matlab_tool(root)
  config = mex.getCompilerConfigurations('C++', 'Selected');
  if ~isempty(config) && ~isempty(strfind(config.Manufacturer, 'Microsoft'))
    flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise', 'OPTIMFLAGS=/O2 /DNDEBUG', '-DLF_PORTABLE'};
    tool.object_ext = '.obj';
  else
    flags = {'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off', 'CXXOPTIMFLAGS=-O3 -DNDEBUG'};
    tool.object_ext = '.o';
    if ispc
      tool.object_ext = '.obj';
    end
  end
  tool.compiler = 'none selected';
  if ~isempty(config)
    tool.compiler = [config.Name ' ' config.Version];
  end
  % From objects alone mex may link with its C setup, without the C++
  % runtime; the entry's source makes it a C++ link.
  tool.entry_as_source = true;
  tool.compile = @(sources, objects) matlab_compile(root, flags, sources, objects);
  tool.link = @(folder, module, inputs) mex('-R2017b', flags{:}, ['-I' root], '-outdir', folder, '-output', module, inputs{:});
end

function matlab_compile(root, flags, sources, objects)
  % mex -c names the object after the source: one folder per object keeps
  % equal names apart until it is moved to its own name.
  for i = 1:numel(sources)
    [objects_dir, name] = fileparts(objects{i});
    out = fullfile(objects_dir, name);
    mkdir(out);
    mex('-R2017b', '-c', flags{:}, ['-I' root], '-outdir', out, sources{i});
    made = [dir(fullfile(out, '*.obj')); dir(fullfile(out, '*.o'))];
    movefile(fullfile(out, made(1).name), objects{i});
  end
end

function files = kernel_files(dir_name)
  files = cpp_files(dir_name);
  files = files(cellfun(@isempty, regexp(files, '_mex\.cpp$', 'once')));
end

function files = cpp_files(dir_name)
  listing = dir(fullfile(dir_name, '*.cpp'));
  files = cellfun(@(name) fullfile(dir_name, name), sort({listing.name}), 'UniformOutput', false);
end

function files = m_files(dir_name)
  listing = dir(fullfile(dir_name, '*.m'));
  files = cellfun(@(name) fullfile(dir_name, name), sort({listing.name}), 'UniformOutput', false);
end

function remove_folder(folder)
  if exist(folder, 'dir')
    if exist('OCTAVE_VERSION', 'builtin') ~= 0
      confirm_recursive_rmdir(false, 'local');
    end
    rmdir(folder, 's');
  end
end
