% A stand-in for MATLAB's string class, which Octave lacks: enough of it
% (a class named string that converts to char) to pass "text" arguments.
classdef string
  properties
    text = '';
  end
  methods
    function s = string(text)
      s.text = text;
    end
    function c = char(s)
      c = s.text;
    end
  end
end
