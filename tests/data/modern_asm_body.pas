asm
  mov eax, 1 { end } // end
  db 'end', $0D
end; x