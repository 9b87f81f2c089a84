function folder = build_modules(folder)
%BUILD_MODULES  Build olmarin, varnel and tressik with mex, without CMake.
%   BUILD_MODULES builds every module of this source tree with the mex
%   command of the running MATLAB or Octave into the folder 'build-mex' next
%   to this file, copies each module's help text and the lf_* helpers beside
%   them, and prints the addpath line to use.
%
%   BUILD_MODULES(FOLDER) builds into FOLDER instead; F = BUILD_MODULES(...)
%   returns the folder.
%
%   The modules' results are defined to the bit, so they are compiled as C++17
%   with optimisation, with -ffp-contract=off (GCC and Clang: no fused
%   multiply-add) and never with fast math; with Microsoft's compiler,
%   /fp:precise. MATLAB builds use the separate complex API (-R2017b).
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
  common = cpp_files(fullfile(root, 'common'));

  % A module is an entry <name>_mex.cpp, linked with the kernels beside it.
  built = {};
  for part = {'refocus', 'entropy'}
    dir_name = fullfile(root, part{1});
    for entry = cpp_files(dir_name)
      [~, base] = fileparts(entry{1});
      if numel(base) <= 4 || ~strcmp(base(end - 3:end), '_mex')
        continue;
      end
      module = base(1:end - 4);
      kernels = cpp_files(dir_name);
      kernels = kernels(cellfun(@isempty, regexp(kernels, '_mex\.cpp$', 'once')));
      sources = [entry, kernels, common];
      fprintf('building %s\n', module);
      if in_octave
        build_octave(root, folder, module, sources);
      else
        build_matlab(root, folder, module, sources);
      end
      copyfile(fullfile(dir_name, [module '.m']), folder);
      built{end + 1} = module; %#ok<AGROW>
    end
  end
  for helper = [m_files(fullfile(root, 'matlab')), m_files(fullfile(root, 'demo'))]
    copyfile(helper{1}, folder);
  end
  fprintf('built %s into %s\nuse: addpath(''%s'')\n', strjoin(built, ', '), folder, folder);
end

function build_octave(root, folder, module, sources)
  % Octave's mex takes its compiler flags from the environment.
  saved = getenv('CXXFLAGS');
  flags = strtrim(mkoctfile('-p', 'CXXFLAGS'));
  flags = regexprep(flags, '(-ffast-math|-Ofast|-ffp-contract=\S+)', '');
  setenv('CXXFLAGS', [flags ' -O3 -std=c++17 -ffp-contract=off']);
  cleanup = onCleanup(@() setenv('CXXFLAGS', saved));
  [~, status] = mkoctfile('--mex', ['-I' root], '-o', fullfile(folder, [module '.mex']), sources{:});
  if status ~= 0
    error('build_modules:failed', 'build_modules: building %s failed.', module);
  end
end

function build_matlab(root, folder, module, sources)
  if ispc
    flags = {'COMPFLAGS=$COMPFLAGS /std:c++17 /fp:precise', 'OPTIMFLAGS=/O2 /DNDEBUG'};
  else
    flags = {'CXXFLAGS=$CXXFLAGS -std=c++17 -ffp-contract=off', 'CXXOPTIMFLAGS=-O3 -DNDEBUG'};
  end
  mex('-R2017b', flags{:}, ['-I' root], '-outdir', folder, '-output', module, sources{:});
end

function files = cpp_files(dir_name)
  listing = dir(fullfile(dir_name, '*.cpp'));
  files = cellfun(@(name) fullfile(dir_name, name), sort({listing.name}), 'UniformOutput', false);
end

function files = m_files(dir_name)
  listing = dir(fullfile(dir_name, '*.m'));
  files = cellfun(@(name) fullfile(dir_name, name), sort({listing.name}), 'UniformOutput', false);
end
